// A reader of the small RTF subset the report builder writes: groups, paragraphs with indents,
// spacing, alignment and tab stops (decimal ones too), bold, italic, underline, sub- and
// superscript, font sizes, the font table with the Symbol font, Windows-1252 and Unicode escapes.
// The page header is kept apart as plain text; font table, stylesheet and information groups are
// skipped, unknown control words ignored. Any bytes are safe: unbalanced braces and truncated
// input give what was read so far.
#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

#include <memory>

class QTextDocument;

namespace graphics {

struct RtfDocument {
    std::unique_ptr<QTextDocument> document; // tabs kept, lines not wrapped
    QString pageHeader;                      // the \header group's text, tabs as '\t'
};

// decimalSeparator: the character decimal tab stops align on.
RtfDocument readRtf(const QByteArray& rtf, QChar decimalSeparator = u'.');

// The character a byte of the Symbol font stands for (the byte's Windows-1252 character when it
// has no symbol of its own).
QChar symbolCharacter(unsigned char byte);

// Length conversion of the document: twips (1/1440 inch) to the document's pixels.
double twipsToPixels(int twips);

} // namespace graphics
