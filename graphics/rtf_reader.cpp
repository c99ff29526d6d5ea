#include "graphics/rtf_reader.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

#include <algorithm>
#include <array>
#include <map>
#include <vector>

namespace graphics {

namespace {

// Windows-1252 characters of the bytes 0x80 … 0x9F (0: undefined, shown as U+FFFD).
constexpr std::array<char16_t, 32> cp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

QChar windows1252(unsigned char b) {
    if (b < 0x80 || b >= 0xA0) return QChar(char16_t(b));
    const char16_t c = cp1252High[b - 0x80];
    return QChar(c != 0 ? c : char16_t(0xFFFD));
}

// The Greek letters of the Symbol font at the Latin letters' places.
constexpr char16_t symbolUpper[26] = {0x391, 0x392, 0x3A7, 0x394, 0x395, 0x3A6, 0x393, 0x397, 0x399,
                                      0x3D1, 0x39A, 0x39B, 0x39C, 0x39D, 0x39F, 0x3A0, 0x398, 0x3A1,
                                      0x3A3, 0x3A4, 0x3A5, 0x3C2, 0x3A9, 0x39E, 0x3A8, 0x396};
constexpr char16_t symbolLower[26] = {0x3B1, 0x3B2, 0x3C7, 0x3B4, 0x3B5, 0x3D5, 0x3B3, 0x3B7, 0x3B9,
                                      0x3C6, 0x3BA, 0x3BB, 0x3BC, 0x3BD, 0x3BF, 0x3C0, 0x3B8, 0x3C1,
                                      0x3C3, 0x3C4, 0x3C5, 0x3D6, 0x3C9, 0x3BE, 0x3C8, 0x3B6};

struct SymbolExtra {
    unsigned char byte;
    char16_t ch;
};
constexpr SymbolExtra symbolExtras[] = {
    {0xA3, 0x2264}, {0xB3, 0x2265}, {0xD6, 0x221A}, {0xB1, 0x00B1}, {0xB4, 0x00D7}, {0xB8, 0x00F7},
    {0xB9, 0x2260}, {0xBB, 0x2248}, {0xA5, 0x221E}, {0xB6, 0x2202}, {0xB0, 0x00B0}, {0xAE, 0x2192},
    {0xAC, 0x2190}, {0xAD, 0x2191}, {0xAF, 0x2193}, {0xE5, 0x2211}, {0xD7, 0x22C5}, {0xA2, 0x2032},
    {0xB2, 0x2033}, {0xC6, 0x2205}, {0xCE, 0x2208}, {0xF2, 0x222B}, {0x22, 0x2200}, {0x24, 0x2203},
    {0x27, 0x220B}, {0x2A, 0x2217}, {0x2D, 0x2212}, {0x40, 0x2245}, {0x5E, 0x22A5}, {0x60, 0xF8E5}};

// Limits that keep hostile input cheap: nesting, tab stops, lengths and font sizes.
constexpr std::size_t maxDepth = 200;
constexpr int maxTabs = 64;
constexpr int maxTwips = 31680; // 22 inches
constexpr int maxHalfPoints = 400;

enum class Destination { Text, Skip, FontTable, Header };
enum class Vertical { Normal, Sub, Super };

struct State {
    Destination dest = Destination::Text;
    // character properties
    bool bold = false, italic = false, underline = false;
    Vertical vertical = Vertical::Normal;
    int halfPoints = 24;
    int font = 0;
    int unicodeSkip = 1;
    // paragraph properties
    int leftIndent = 0, spaceBefore = 0, spaceAfter = 0;
    Qt::Alignment alignment = Qt::AlignLeft;
    std::vector<QTextOption::Tab> tabs;
    QTextOption::TabType pendingTab = QTextOption::LeftTab;
    bool pendingDecimal = false;
};

class Reader {
public:
    Reader(const QByteArray& rtf, QChar decimal)
        : in_(rtf), decimal_(decimal), doc_(std::make_unique<QTextDocument>()),
          cursor_(doc_.get()) {
        QTextOption option = doc_->defaultTextOption();
        option.setWrapMode(QTextOption::NoWrap);
        doc_->setDefaultTextOption(option);
        doc_->setDocumentMargin(twipsToPixels(360));
        stack_.emplace_back();
    }

    RtfDocument read() {
        while (pos_ < in_.size()) {
            const char c = in_[pos_++];
            if (c == '{') {
                flush();
                if (stack_.size() < maxDepth)
                    stack_.push_back(stack_.back());
                else
                    ++overflow_;
                groupStart_ = true;
                continue;
            }
            const bool atGroupStart = groupStart_;
            groupStart_ = false;
            if (c == '}') {
                flush();
                endGroup();
            } else if (c == '\\') {
                controlWord(atGroupStart);
            } else if (c == '\r' || c == '\n') {
                groupStart_ = atGroupStart;
            } else {
                character(windowsOrSymbol(static_cast<unsigned char>(c)));
            }
        }
        flush();
        if (blockFormatted_) finishBlock(lastFormat_); // a last paragraph without \par
        while (header_.endsWith(u'\n')) header_.chop(1);
        return {std::move(doc_), header_};
    }

private:
    State& st() { return stack_.back(); }

    void endGroup() {
        if (overflow_ > 0) {
            --overflow_;
            return;
        }
        if (stack_.size() > 1) {
            if (st().dest == Destination::FontTable && !fontName_.isEmpty()) finishFont();
            stack_.pop_back();
        }
    }

    // The control word or symbol after a backslash.
    void controlWord(bool atGroupStart) {
        if (pos_ >= in_.size()) return;
        const char c = in_[pos_];
        if (!isAsciiLetter(c)) {
            ++pos_;
            controlSymbol(c);
            return;
        }
        const qsizetype start = pos_;
        while (pos_ < in_.size() && isAsciiLetter(in_[pos_]) && pos_ - start < 32) ++pos_;
        const QByteArray word = in_.mid(start, pos_ - start);
        bool hasParam = false;
        int param = 0;
        bool negative = false;
        if (pos_ < in_.size() && in_[pos_] == '-') {
            negative = true;
            ++pos_;
        }
        long long value = 0;
        while (pos_ < in_.size() && in_[pos_] >= '0' && in_[pos_] <= '9') {
            hasParam = true;
            if (value < 100000000) value = value * 10 + (in_[pos_] - '0');
            ++pos_;
        }
        param = static_cast<int>(negative ? -value : value);
        if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_; // the delimiting space
        handle(word, hasParam, param, atGroupStart);
    }

    void controlSymbol(char c) {
        if (c == '\'') {
            int v = 0, n = 0;
            while (n < 2 && pos_ < in_.size()) {
                const int d = hexDigit(in_[pos_]);
                if (d < 0) break;
                v = v * 16 + d;
                ++pos_;
                ++n;
            }
            if (n > 0) character(windowsOrSymbol(static_cast<unsigned char>(v)));
        } else if (c == '\\' || c == '{' || c == '}') {
            character(QChar(char16_t(c)));
        } else if (c == '~') {
            character(QChar(char16_t(0xA0)));
        } else if (c == '_') {
            character(QChar(char16_t(0x2011)));
        } else if (c == '*') {
            st().dest = Destination::Skip;
        } else if (c == '\r' || c == '\n') {
            paragraph();
        }
    }

    void handle(const QByteArray& w, bool hasParam, int p, bool atGroupStart) {
        State& s = st();
        const bool on = !hasParam || p != 0;
        if (w == "par") {
            paragraph();
        } else if (w == "tab") {
            character(u'\t');
        } else if (w == "line") {
            character(QChar(QChar::LineSeparator));
        } else if (w == "u") {
            character(QChar(char16_t(static_cast<unsigned short>(p))));
            skipAfterUnicode(s.unicodeSkip);
        } else if (w == "uc") {
            s.unicodeSkip = std::clamp(p, 0, 8);
        } else if (w == "pard") {
            flush();
            s.leftIndent = s.spaceBefore = s.spaceAfter = 0;
            s.alignment = Qt::AlignLeft;
            s.tabs.clear();
            s.pendingTab = QTextOption::LeftTab;
            s.pendingDecimal = false;
        } else if (w == "plain") {
            flush();
            s.bold = s.italic = s.underline = false;
            s.vertical = Vertical::Normal;
            s.halfPoints = 24;
            s.font = defaultFont_;
        } else if (w == "b") {
            setChar(s.bold, on);
        } else if (w == "i") {
            setChar(s.italic, on);
        } else if (w == "ul") {
            setChar(s.underline, on);
        } else if (w == "ulnone") {
            setChar(s.underline, false);
        } else if (w == "sub" || (w == "dn" && p > 0)) {
            flush();
            s.vertical = Vertical::Sub;
        } else if (w == "super" || (w == "up" && p > 0)) {
            flush();
            s.vertical = Vertical::Super;
        } else if (w == "nosupersub") {
            flush();
            s.vertical = Vertical::Normal;
        } else if (w == "fs") {
            flush();
            s.halfPoints = std::clamp(hasParam ? p : 24, 2, maxHalfPoints);
        } else if (w == "f") {
            flush();
            if (s.dest == Destination::FontTable) {
                if (!fontName_.isEmpty()) finishFont();
                fontId_ = p;
            } else {
                s.font = p;
            }
        } else if (w == "deff") {
            defaultFont_ = s.font = p;
        } else if (w == "li") {
            s.leftIndent = std::clamp(p, -maxTwips, maxTwips);
        } else if (w == "sb") {
            s.spaceBefore = std::clamp(p, 0, maxTwips);
        } else if (w == "sa") {
            s.spaceAfter = std::clamp(p, 0, maxTwips);
        } else if (w == "qc") {
            s.alignment = Qt::AlignHCenter;
        } else if (w == "qr") {
            s.alignment = Qt::AlignRight;
        } else if (w == "qj") {
            s.alignment = Qt::AlignJustify;
        } else if (w == "ql") {
            s.alignment = Qt::AlignLeft;
        } else if (w == "tql") {
            s.pendingTab = QTextOption::LeftTab;
            s.pendingDecimal = false;
        } else if (w == "tqc") {
            s.pendingTab = QTextOption::CenterTab;
            s.pendingDecimal = false;
        } else if (w == "tqr") {
            s.pendingTab = QTextOption::RightTab;
            s.pendingDecimal = false;
        } else if (w == "tqdec") {
            s.pendingTab = QTextOption::DelimiterTab;
            s.pendingDecimal = true;
        } else if (w == "tx") {
            if (static_cast<int>(s.tabs.size()) < maxTabs) {
                const double at = twipsToPixels(std::clamp(p, 0, maxTwips));
                s.tabs.emplace_back(at, s.pendingTab, s.pendingDecimal ? decimal_ : QChar());
            }
            s.pendingTab = QTextOption::LeftTab;
            s.pendingDecimal = false;
        } else if (atGroupStart && (w == "fonttbl")) {
            s.dest = Destination::FontTable;
        } else if (atGroupStart && (w == "header" || w == "headerr")) {
            s.dest = s.dest == Destination::Text ? Destination::Header : Destination::Skip;
        } else if (atGroupStart &&
                   (w == "stylesheet" || w == "info" || w == "colortbl" || w == "headerf" ||
                    w == "headerl" || w == "footer" || w == "footerf" || w == "footerl" ||
                    w == "footerr" || w == "pict" || w == "object" || w == "listtable" ||
                    w == "listoverridetable" || w == "rsidtbl" || w == "generator")) {
            s.dest = Destination::Skip;
        }
        // every other control word is ignored
    }

    void setChar(bool& property, bool value) {
        flush();
        property = value;
    }

    // After \uN the fallback characters are skipped: a plain character or one escape each.
    void skipAfterUnicode(int count) {
        while (count > 0 && pos_ < in_.size()) {
            const char c = in_[pos_];
            if (c == '{' || c == '}') return;
            if (c == '\\') {
                if (pos_ + 1 < in_.size() && in_[pos_ + 1] == '\'') {
                    pos_ += 2;
                    for (int n = 0; n < 2 && pos_ < in_.size() && hexDigit(in_[pos_]) >= 0; ++n)
                        ++pos_;
                } else {
                    return; // a control word ends the fallback
                }
            } else {
                ++pos_;
            }
            --count;
        }
    }

    QChar windowsOrSymbol(unsigned char b) {
        const State& s = st();
        if (s.dest == Destination::Text || s.dest == Destination::Header) {
            auto it = fonts_.find(s.font);
            if (it != fonts_.end() && it->second.symbol) return symbolCharacter(b);
        }
        return windows1252(b);
    }

    void character(QChar c) {
        switch (st().dest) {
        case Destination::Text:
            pending_ += c;
            break;
        case Destination::Header:
            if (c != QChar(QChar::LineSeparator)) header_ += c;
            break;
        case Destination::FontTable:
            if (c == u';')
                finishFont();
            else
                fontName_ += c;
            break;
        case Destination::Skip:
            break;
        }
    }

    void finishFont() {
        const QString name = fontName_.trimmed();
        fontName_.clear();
        if (name.isEmpty() || fonts_.size() > 1000) return;
        fonts_[fontId_] = Font{name, name.compare(u"Symbol", Qt::CaseInsensitive) == 0};
    }

    void paragraph() {
        const Destination d = st().dest;
        if (d == Destination::Header) {
            if (!header_.isEmpty() && !header_.endsWith(u'\n')) header_ += u'\n';
            return;
        }
        if (d != Destination::Text) return;
        flush();
        finishBlock(blockFormat()); // the properties in force when it ends
        cursor_.insertBlock();
        blockFormatted_ = false;
    }

    // The layout of tab stops other than left ones measures the text up to the next tab (up to
    // the next delimiter for decimal ones, even beyond the next tab): an empty section after such
    // a stop, or a number without the delimiter after a decimal stop, would pull the following
    // text left. With the n-th tab of the line taken to reach the n-th stop, as the report's lines
    // are written, such stops become left stops (empty section) or right stops (no delimiter).
    static void fitTabsToText(QTextBlockFormat& format, const QString& text) {
        QList<QTextOption::Tab> tabs = format.tabPositions();
        const QStringList sections = text.split(u'\t');
        for (qsizetype k = 0; k < tabs.size() && k + 1 < sections.size(); ++k) {
            QTextOption::Tab& tab = tabs[k];
            const QString& section = sections[k + 1];
            if (tab.type == QTextOption::LeftTab) continue;
            if (section.isEmpty()) {
                tab.type = QTextOption::LeftTab;
                tab.delimiter = QChar();
            } else if (tab.type == QTextOption::DelimiterTab && !section.contains(tab.delimiter)) {
                tab.type = QTextOption::RightTab;
                tab.delimiter = QChar();
            }
        }
        format.setTabPositions(tabs);
    }

    // Sets the block's format once its text is complete.
    void finishBlock(QTextBlockFormat format) {
        fitTabsToText(format, cursor_.block().text());
        cursor_.setBlockFormat(format);
    }

    QTextBlockFormat blockFormat() const {
        const State& s = stack_.back();
        QTextBlockFormat f;
        f.setLeftMargin(twipsToPixels(s.leftIndent));
        f.setTopMargin(twipsToPixels(s.spaceBefore));
        f.setBottomMargin(twipsToPixels(s.spaceAfter));
        f.setAlignment(s.alignment);
        f.setTabPositions(QList<QTextOption::Tab>(s.tabs.begin(), s.tabs.end()));
        return f;
    }

    QTextCharFormat charFormat() const {
        const State& s = stack_.back();
        QTextCharFormat f;
        auto it = fonts_.find(s.font);
        // Symbol text is mapped to Unicode: it is shown in the default font.
        if (it == fonts_.end() || it->second.symbol) it = fonts_.find(defaultFont_);
        if (it != fonts_.end()) f.setFontFamilies(QStringList{it->second.name});
        f.setFontPointSize(s.halfPoints / 2.0);
        f.setFontWeight(s.bold ? QFont::Bold : QFont::Normal);
        f.setFontItalic(s.italic);
        f.setFontUnderline(s.underline);
        f.setVerticalAlignment(s.vertical == Vertical::Sub     ? QTextCharFormat::AlignSubScript
                               : s.vertical == Vertical::Super ? QTextCharFormat::AlignSuperScript
                                                               : QTextCharFormat::AlignNormal);
        return f;
    }

    // Inserts the text collected under the current character properties.
    void flush() {
        if (pending_.isEmpty()) return;
        if (stack_.back().dest == Destination::Text) {
            if (!blockFormatted_) {
                lastFormat_ = blockFormat();
                cursor_.setBlockFormat(lastFormat_);
            }
            blockFormatted_ = true;
            cursor_.insertText(pending_, charFormat());
        }
        pending_.clear();
    }

    static bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static int hexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    struct Font {
        QString name;
        bool symbol = false;
    };

    const QByteArray& in_;
    qsizetype pos_ = 0;
    QChar decimal_;
    std::unique_ptr<QTextDocument> doc_;
    QTextCursor cursor_;
    std::vector<State> stack_;
    std::size_t overflow_ = 0;
    bool groupStart_ = false;
    bool blockFormatted_ = false;
    QTextBlockFormat lastFormat_;
    QString pending_;
    QString header_;
    std::map<int, Font> fonts_;
    int defaultFont_ = 0;
    int fontId_ = 0;
    QString fontName_;
};

} // namespace

QChar symbolCharacter(unsigned char byte) {
    if (byte >= 'A' && byte <= 'Z') return QChar(symbolUpper[byte - 'A']);
    if (byte >= 'a' && byte <= 'z') return QChar(symbolLower[byte - 'a']);
    for (const SymbolExtra& e : symbolExtras)
        if (e.byte == byte) return QChar(e.ch);
    return windows1252(byte);
}

double twipsToPixels(int twips) {
    double dpi = 96.0;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr)
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            dpi = screen->logicalDotsPerInchY();
    return twips * dpi / 1440.0;
}

RtfDocument readRtf(const QByteArray& rtf, QChar decimalSeparator) {
    return Reader(rtf, decimalSeparator).read();
}

} // namespace graphics
