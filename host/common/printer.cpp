// The printer: a byte-at-a-time state machine that prints onto the paper.
#include "printer.h"

#include <algorithm>


namespace {

constexpr uint8_t ESC = 0x1B;
constexpr uint8_t FIRST_GLYPH = 0x20;  // the character generator's range
constexpr uint8_t LAST_GLYPH = 0x99;

// Unicode for the character codes from 0x80 (symbols, then accented letters).
constexpr const char* kapszHighCodes[LAST_GLYPH - 0x80 + 1] = {
    "λ", "Δ", "√", "×", "↔", "↕", "µ", "ä", "ö", "ü", "ß", "ò", "è",
    "é", "á", "à", "ì", "í", "ô", "¿", "ú", "ê", "ó", "▶", "◆", "◀"};

}  // namespace

void CPrinter::Clear() { *this = CPrinter(); }

void CPrinter::Feed(std::string_view sBytes)
{
    for (char c : sBytes)
        Feed(static_cast<uint8_t>(c));
}

void CPrinter::Feed(uint8_t b)
{
    switch (m_state) {
    case State::Text:
        if (b == ESC)
            m_state = State::Escape;
        else if (b == '\r')
            m_nX = 0;
        else if (b == '\n')
            LineFeed();
        else if (b == '\t') {
            const int nTab = TAB_CHARS * CELL_WIDTH;
            m_nX = (m_nX / nTab + 1) * nTab;
            if (m_nX > WIDTH)
                m_nX = WIDTH;
            OpenLine();
            m_line.sBytes += '\t';
        } else if (b >= FIRST_GLYPH && b <= LAST_GLYPH && b != 0x7F)
            PrintChar(b);
        return;
    case State::Escape:
        m_state = State::Text;
        if (b == 'K')
            m_state = State::ImageLow;
        else if (b == 'J')
            m_state = State::Feed;
        else if (b == 0x01) {
            m_state = State::Pr1Line;
            m_nCount = PR1_LINE_BYTES;
        } else if (b == '\r' || b == '\n' || b == ESC)
            Feed(b);  // a lone ESC: the byte after it still acts
        return;
    case State::ImageLow:
        m_nImageLow = b;
        m_state = State::ImageHigh;
        return;
    case State::ImageHigh:
        m_nCount = m_nImageLow + 256 * b;
        m_state = m_nCount > 0 ? State::Image : State::Text;
        return;
    case State::Image:
        ImageColumn(b);
        if (--m_nCount == 0)
            m_state = State::Text;
        return;
    case State::Feed:
        m_nHalfRows += b;
        m_state = State::Text;
        return;
    case State::Pr1Line:
        Pr1Byte(b);
        if (--m_nCount == 0) {
            m_nX = 0;
            m_nHalfRows += 4;  // the line's two dot rows
            m_state = State::Text;
        }
        return;
    }
}

void CPrinter::PrintChar(uint8_t c)
{
    if (m_nX + CELL_WIDTH > WIDTH) {  // the line is full: on to the next
        m_nX = 0;
        m_nHalfRows += 2 * LINE_PITCH;
    }
    OpenLine();
    m_line.sBytes += static_cast<char>(c);
    const int nTop = HeadRow();
    EnsureRows(nTop + CELL_HEIGHT);
    ForEachGlyphDot(c, [&](int nCol, int nRow) { SetDot(m_nX + nCol, nTop + nRow); });
    m_nX += CELL_WIDTH;
}

// The line's row is where its first character (or tab) went.
void CPrinter::OpenLine()
{
    if (!m_bLineOpen) {
        m_line.nRow = HeadRow();
        m_bLineOpen = true;
    }
}

void CPrinter::LineFeed()
{
    if (!m_bLineOpen)
        m_line.nRow = HeadRow();
    m_lines.push_back(std::move(m_line));
    m_line = TextLine();
    m_bLineOpen = false;
    m_nX = 0;
    m_nHalfRows += 2 * LINE_PITCH;
}

// One column of an ESC K image: bit 7 on the head's top row.
void CPrinter::ImageColumn(uint8_t b)
{
    const int nTop = HeadRow();
    EnsureRows(nTop + 8);
    if (m_nX >= WIDTH)
        return;  // past the right edge: taken from the line and lost
    for (int nPin = 0; nPin < 8; nPin++)
        if (b & (0x80 >> nPin))
            SetDot(m_nX, nTop + nPin);
    m_nX++;
}

// Six dots across from bits 5..0, two rows high.
void CPrinter::Pr1Byte(uint8_t b)
{
    const int nTop = HeadRow();
    EnsureRows(nTop + 2);
    for (int nBit = 0; nBit < 6; nBit++, m_nX++)
        if (m_nX < WIDTH && (b & (0x20 >> nBit))) {
            SetDot(m_nX, nTop);
            SetDot(m_nX, nTop + 1);
        }
}

void CPrinter::SetDot(int x, int y)
{
    EnsureRows(y + 1);
    m_abDots[static_cast<size_t>(y) * ROW_BYTES + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
}

void CPrinter::EnsureRows(int nRows)
{
    if (nRows <= m_nRowsUsed)
        return;
    m_nRowsUsed = nRows;
    if (m_abDots.size() < static_cast<size_t>(nRows) * ROW_BYTES)
        m_abDots.resize(std::max(m_abDots.size() * 2, static_cast<size_t>(nRows) * ROW_BYTES));
}

int CPrinter::Height() const { return std::max(m_nRowsUsed, HeadRow()); }

bool CPrinter::Dot(int x, int y) const
{
    if (x < 0 || x >= WIDTH || y < 0 || y >= m_nRowsUsed)
        return false;
    return m_abDots[static_cast<size_t>(y) * ROW_BYTES + x / 8] & (0x80 >> (x % 8));
}

const uint8_t* CPrinter::Row(int y) const
{
    static const uint8_t kabBlank[ROW_BYTES] = {};
    if (y < 0 || y >= m_nRowsUsed)
        return kabBlank;
    return &m_abDots[static_cast<size_t>(y) * ROW_BYTES];
}

std::vector<CPrinter::TextLine> CPrinter::TextLines() const
{
    std::vector<TextLine> lines = m_lines;
    if (!m_line.sBytes.empty())
        lines.push_back(m_line);
    return lines;
}

std::string CPrinter::Text() const
{
    std::string sText;
    for (const TextLine& line : TextLines()) {
        for (char c : line.sBytes) {
            const auto b = static_cast<uint8_t>(c);
            if (b >= 0x80)
                sText += kapszHighCodes[b - 0x80];
            else
                sText += c;
        }
        sText += '\n';
    }
    return sText;
}

PaperPicture RenderPaper(const CPrinter& printer, int nScale)
{
    PaperPicture picture;
    picture.nWidth = (CPrinter::WIDTH + 2 * PAPER_MARGIN_DOTS) * nScale;
    picture.nHeight = (printer.Height() + 2 * PAPER_MARGIN_DOTS) * nScale;
    picture.abRgb.resize(static_cast<size_t>(3) * picture.nWidth * picture.nHeight);
    for (int y = 0; y < picture.nHeight; y++)
        for (int x = 0; x < picture.nWidth; x++) {
            const bool bDot = printer.Dot(x / nScale - PAPER_MARGIN_DOTS, y / nScale - PAPER_MARGIN_DOTS);
            std::copy_n(bDot ? INK_RGB : PAPER_RGB, 3,
                        &picture.abRgb[3 * (static_cast<size_t>(y) * picture.nWidth + x)]);
        }
    return picture;
}
