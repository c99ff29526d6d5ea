// Fuzz target: the RTF reader of the report must neither crash, hang nor ask for unbounded memory.
#include <QByteArray>
#include <QGuiApplication>
#include <QTextDocument>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "graphics/rtf_reader.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication app(*argc, *argv); // fonts need the application
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray rtf(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const graphics::RtfDocument read = graphics::readRtf(rtf);
    (void)read.document->toPlainText();
    (void)read.document->size(); // lays the document out
    return 0;
}
