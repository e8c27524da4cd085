#include "dcbuilder/reportpages.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QGuiApplication>
#include <QIODevice>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTextLayout>
#include <algorithm>
#include <memory>
#include <numeric>

namespace reportPages {
namespace {

constexpr int kResolution = 600;  // dots per inch of the page coordinates
constexpr double kMarginMm = 12, kFooterMm = 7, kPaddingMm = 0.5, kMinColumnMm = 16;
constexpr double kTextPt = 7.5, kHeadingPt = 11, kTitlePt = 16;

double mm(double v) { return v * kResolution / 25.4; }

QFont font(double points, bool bold) {
    QFont f = QGuiApplication::font();
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// The pages as they are filled from top to bottom.
class Pages {
public:
    Pages(QPdfWriter& writer, QPainter& painter)
        : m_writer(writer), m_painter(painter), m_top(mm(kMarginMm)),
          m_bottom(writer.height() - mm(kMarginMm)), m_left(mm(kMarginMm)), m_right(writer.width() - mm(kMarginMm)) {
        y = m_top;
    }
    double width() const { return m_right - m_left; }
    double left() const { return m_left; }
    bool fits(double height) const { return y + height <= m_bottom; }
    bool atTop() const { return y <= m_top; }

    void newPage() {
        footer();
        m_writer.newPage();
        ++m_page;
        y = m_top;
    }
    void footer() {
        m_painter.setFont(font(kTextPt, false));
        const QRectF foot(m_left, m_writer.height() - mm(kFooterMm) - mm(4), width(), mm(4));
        m_painter.drawText(foot, Qt::AlignHCenter | Qt::AlignBottom, QString::number(m_page));
    }
    // One line of text in its font, below the last thing drawn.
    void line(const QString& text, const QFont& f, double spaceAfter) {
        const QFontMetricsF fm(f, &m_writer);
        if (!fits(fm.height())) newPage();
        m_painter.setFont(f);
        m_painter.drawText(QPointF(m_left, y + fm.ascent()), text);
        y += fm.height() + spaceAfter;
    }

    double y = 0;

private:
    QPdfWriter& m_writer;
    QPainter& m_painter;
    double m_top, m_bottom, m_left, m_right;
    int m_page = 1;
};

// One table drawn row by row over as many pages as it needs.
class TableDrawer {
public:
    // Measures the columns; rowMeasured after each row.
    TableDrawer(const Table& t, Pages& pages, QPainter& painter, const std::function<void()>& rowMeasured)
        : m_t(t), m_pages(pages), m_painter(painter), m_text(font(kTextPt, false)), m_bold(font(kTextPt, true)),
          m_fm(m_text, painter.device()), m_boldFm(m_bold, painter.device()), m_pad(mm(kPaddingMm)) {
        columnWidths(rowMeasured);
    }

    // Draws the rows; rowDone after each.
    void draw(const std::function<void()>& rowDone, const std::function<void()>& pageBreak) {
        startBlock();
        for (const QStringList& row : m_t.rows) {
            const double height = rowHeight(row, m_fm, m_text);
            if (!m_pages.fits(height) && m_pages.y > m_blockTop + m_headerHeight) {
                closeBlock();
                pageBreak();
                startBlock();
            }
            drawRow(row, height, m_fm, m_text);
            rowDone();
        }
        closeBlock();
    }

private:
    int columns() const { return int(m_t.columns.size()); }

    // Each column as wide as its widest text; the table fills the width of the page. When
    // the texts are wider than the page, the widest columns that may wrap are cut down to
    // one common width, none below its header or kMinColumnMm.
    void columnWidths(const std::function<void()>& rowMeasured) {
        const std::size_t n = std::size_t(columns());
        std::vector<double> natural(n, 0.0), least(n, 0.0);
        for (std::size_t c = 0; c < n; ++c) natural[c] = m_boldFm.horizontalAdvance(m_t.columns[qsizetype(c)]) + 2 * m_pad;
        const std::vector<double> header = natural;
        for (const QStringList& row : m_t.rows) {
            for (std::size_t c = 0; c < n; ++c)
                natural[c] = std::max(natural[c], advance(row[qsizetype(c)], m_fm) + 2 * m_pad);
            rowMeasured();
        }
        for (std::size_t c = 0; c < n; ++c)
            least[c] = oneLine(int(c)) ? natural[c] : std::min(natural[c], std::max(header[c], mm(kMinColumnMm)));
        const double available = m_pages.width();
        const auto widthsAt = [&](double cap) {
            std::vector<double> w(n);
            for (std::size_t c = 0; c < n; ++c) w[c] = std::max(least[c], std::min(natural[c], cap));
            return w;
        };
        const auto sum = [](const std::vector<double>& v) { return std::accumulate(v.begin(), v.end(), 0.0); };
        const double sumNatural = sum(natural);
        if (sumNatural <= available) {
            m_width = natural;
            for (double& w : m_width) w *= available / sumNatural;
            return;
        }
        if (sum(least) >= available) {
            m_width = least;
            const double total = sum(least);
            for (double& w : m_width) w *= available / total;
            return;
        }
        double low = 0, high = *std::max_element(natural.begin(), natural.end());
        for (int i = 0; i < 40; ++i) {
            const double cap = (low + high) / 2;
            (sum(widthsAt(cap)) > available ? high : low) = cap;
        }
        m_width = widthsAt(low);
    }
    bool oneLine(int c) const { return std::size_t(c) < m_t.oneLine.size() && m_t.oneLine[std::size_t(c)]; }
    double inner(int c) const { return m_width[std::size_t(c)] - 2 * m_pad; }

    // The lines of a text that does not fit its column, broken at words or, in a word
    // longer than the column, anywhere.
    std::unique_ptr<QTextLayout> wrapped(const QString& text, const QFont& f, double width) const {
        auto layout = std::make_unique<QTextLayout>(text, f, m_painter.device());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout->setTextOption(option);
        layout->beginLayout();
        double y = 0;
        for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, y));
            y += line.height();
        }
        layout->endLayout();
        return layout;
    }
    // The width of a text on one line, measured once: the columns are measured first and
    // each text asked again when it is drawn.
    double advance(const QString& text, const QFontMetricsF& fm) const {
        auto& cache = &fm == &m_fm ? m_advance : m_boldAdvance;
        auto it = cache.constFind(text);
        return it != cache.constEnd() ? *it : *cache.insert(text, fm.horizontalAdvance(text));
    }
    bool fitsOnOneLine(const QString& text, int c, const QFontMetricsF& fm) const {
        return oneLine(c) || advance(text, fm) <= inner(c);
    }

    double rowHeight(const QStringList& row, const QFontMetricsF& fm, const QFont& f) const {
        double lines = fm.height();
        for (int c = 0; c < columns(); ++c)
            if (!fitsOnOneLine(row[c], c, fm))
                lines = std::max(lines, wrapped(row[c], f, inner(c))->boundingRect().height());
        return lines + 2 * m_pad;
    }

    void drawRow(const QStringList& row, double height, const QFontMetricsF& fm, const QFont& f) {
        m_painter.setFont(f);
        double x = m_pages.left();
        for (int c = 0; c < columns(); ++c) {
            const QPointF at(x + m_pad, m_pages.y + m_pad);
            if (fitsOnOneLine(row[c], c, fm))
                for (const QGlyphRun& run : glyphs(row[c], f)) m_painter.drawGlyphRun(at, run);
            else
                wrapped(row[c], f, inner(c))->draw(&m_painter, at);
            x += m_width[std::size_t(c)];
        }
        m_pages.y += height;
        m_painter.drawLine(QPointF(m_pages.left(), m_pages.y), QPointF(m_pages.left() + m_pages.width(), m_pages.y));
    }

    // The glyphs of a one-line text, shaped once: most columns repeat a few texts.
    const QList<QGlyphRun>& glyphs(const QString& text, const QFont& f) {
        auto& cache = f.bold() ? m_boldGlyphs : m_glyphs;
        auto it = cache.find(text);
        if (it != cache.end()) return *it;
        QTextLayout layout(text, f, m_painter.device());
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        return *cache.insert(text, layout.glyphRuns());
    }

    // The column headers at the top of the table's part on this page.
    void startBlock() {
        m_blockTop = m_pages.y;
        m_headerHeight = rowHeight(m_t.columns, m_boldFm, m_bold);
        m_painter.fillRect(QRectF(m_pages.left(), m_blockTop, m_pages.width(), m_headerHeight), QColor(0xd8, 0xd8, 0xd8));
        m_painter.drawLine(QPointF(m_pages.left(), m_blockTop), QPointF(m_pages.left() + m_pages.width(), m_blockTop));
        drawRow(m_t.columns, m_headerHeight, m_boldFm, m_bold);
    }
    // The column rules of the part, drawn once it is complete.
    void closeBlock() {
        double x = m_pages.left();
        for (int c = 0; c <= columns(); ++c) {
            m_painter.drawLine(QPointF(x, m_blockTop), QPointF(x, m_pages.y));
            if (c < columns()) x += m_width[std::size_t(c)];
        }
    }

    const Table& m_t;
    Pages& m_pages;
    QPainter& m_painter;
    QFont m_text, m_bold;
    QFontMetricsF m_fm, m_boldFm;
    double m_pad;
    std::vector<double> m_width;
    double m_blockTop = 0, m_headerHeight = 0;
    QHash<QString, QList<QGlyphRun>> m_glyphs, m_boldGlyphs;
    mutable QHash<QString, double> m_advance, m_boldAdvance;
};

}  // namespace

void write(QIODevice& device, const Document& document, const std::function<void(float)>& progress) {
    QPdfWriter writer(&device);
    writer.setTitle(document.title);
    writer.setResolution(kResolution);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0),
                                     QPageLayout::Millimeter));
    QPainter painter(&writer);
    QPen pen(Qt::black);
    pen.setWidthF(mm(0.15));
    painter.setPen(pen);

    // Measuring takes a share of the time, drawing the rest.
    constexpr float kMeasured = 0.15f;
    std::size_t total = 0, measured = 0, done = 0;
    for (const Table& t : document.tables) total += t.rows.size();
    const auto share = [&](std::size_t rows) { return total ? float(rows) / float(total) : 1.0f; };
    Pages pages(writer, painter);
    std::vector<std::unique_ptr<TableDrawer>> drawers;
    for (const Table& t : document.tables)
        drawers.push_back(std::make_unique<TableDrawer>(t, pages, painter, [&] {
            if (++measured % kRowsPerTurn == 0 && progress) progress(kMeasured * share(measured));
        }));
    const auto pageBreak = [&] {
        pages.newPage();
        if (progress) progress(kMeasured + (1 - kMeasured) * share(done));
    };

    pages.line(document.heading, font(kTitlePt, true), mm(2));
    for (const QString& l : document.titleLines) pages.line(l, font(kTextPt, false), 0);
    for (std::size_t i = 0; i < drawers.size(); ++i) {
        const Table& t = document.tables[i];
        pages.y += mm(4);
        if (!pages.fits(mm(20))) pageBreak();
        pages.line(t.heading, font(kHeadingPt, true), mm(1.5));
        drawers[i]->draw([&] { ++done; }, pageBreak);
        pages.y += mm(1);
        pages.line(QStringLiteral("%1 rows").arg(t.rows.size()), font(kTextPt, false), 0);
    }
    pages.footer();
    painter.end();
    if (progress) progress(1.0f);
}

}  // namespace reportPages
