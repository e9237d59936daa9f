// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/reportsheet.h"

#include "app/fonts.h"
#include "app/language.h"
#include "frontend/keeping.h"
#include "frontend/language.h"
#include "frontend/recordview.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <vector>

namespace meter {

namespace {

QString latin1(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

QString utf8(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The window's own label texts, as the window shows them in its language.
QString formtext(const char* text) {
    return QCoreApplication::translate("meter::Form1", text);
}

// "2026-12-07T15:10:08+08:00" as "2026-12-07 15:10:08 (UTC+08:00)"; any other text as it is.
QString shownstamp(const QString& stamp) {
    if (stamp.size() <= 19 || stamp[10] != QLatin1Char('T')) return stamp;
    return QStringLiteral("%1 %2 (UTC%3)").arg(stamp.left(10), stamp.mid(11, 8), stamp.mid(19));
}

QFont sized(QFont font, double points, bool bold = false) {
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// Lays the sheet out page by page; with a painter it paints as well, without one it only
// measures, so that the first pass can tell how many pages there are.
class Layout {
  public:
    Layout(const ReportSheet& sheet, QPagedPaintDevice& device, QPainter* painter, int pages)
        : sheet_(sheet), device_(device), p_(painter), pages_(pages) {
        const QFont base = textfont();
        const QFont fixed = fixedfont();
        title_ = sized(base, 17, true);
        text_ = sized(base, 10.5);
        label_ = sized(base, 10.5, true);
        valuelabel_ = sized(base, 13);
        value_ = sized(fixed, 20, true);
        hex_ = sized(fixed, 8.5);
        small_ = sized(base, 8.5);
        width_ = device.width();
        height_ = device.height();
    }

    int run() {
        firstpage();
        traffic();
        footer();
        return page_;
    }

  private:
    double mm(double millimetres) const { return millimetres * device_.logicalDpiY() / 25.4; }
    double lineheight(const QFont& f) const { return QFontMetricsF(f, &device_).lineSpacing(); }

    void text(const QFont& f, const QRectF& where, int flags, const QString& s,
              const QColor& colour = Qt::black) {
        if (!p_) return;
        p_->setFont(f);
        p_->setPen(colour);
        p_->drawText(where, flags, s);
    }
    void rule(double at, double from = 0, double thickness = 0.25) {
        if (!p_) return;
        p_->setPen(QPen(Qt::black, mm(thickness)));
        p_->drawLine(QPointF(from, at), QPointF(width_, at));
    }
    // The height `s` takes wrapped to `width`.
    double wrappedheight(const QFont& f, double width, const QString& s) const {
        return QFontMetricsF(f, &device_)
            .boundingRect(QRectF(0, 0, width, 1e9), Qt::TextWordWrap, s)
            .height();
    }

    // The machine type as the window's list shows it in the sheet's language.
    QString typetext() const {
        return utf8(typeshown(sheet_.reading.typetext, windowlanguage()));
    }

    void firstpage() {
        const ReadingReport& r = sheet_.reading;
        heading(ReportSheet::tr("邮资表读数报告"));

        // The five values, large; greyed when they stand for nothing read.
        const RecordFields f = cutrecord(r.record);
        const QColor colour = r.status() == "read" ? Qt::black : Qt::gray;
        const struct {
            const char* prefix;
            const std::string& value;
        } values[] = {{prefix::total, f.total},
                      {prefix::used, f.used},
                      {prefix::unused, f.unused},
                      {prefix::pieces, f.pieces},
                      {prefix::head, f.head}};
        const double row = lineheight(value_) * 1.15;
        for (const auto& v : values) {
            const QRectF line(0, y_, width_, row);
            text(valuelabel_, line, Qt::AlignLeft | Qt::AlignVCenter, formtext(v.prefix));
            text(value_, line.adjusted(mm(42), 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                 v.value.empty() ? QStringLiteral("—") : latin1(v.value), colour);
            y_ += row;
        }
        y_ += mm(3);
        rule(y_);
        y_ += mm(3);

        // What was read, where, when and how it ended.
        QString status = ReportSheet::tr("读取完成");
        if (r.status() == "nodata") status = ReportSheet::tr("没有读到数据");
        if (r.status() == "failed") status = ReportSheet::tr("读取失败");
        detail(formtext("机器类型："), ReportSheet::tr("%1（代码 %2）").arg(typetext()).arg(r.code));
        QString port = QString::number(r.port);
        if (r.demo)
            port = ReportSheet::tr("%1 → 演示（模拟的邮资表）").arg(r.port);
        else if (!r.device.empty())
            port = QStringLiteral("%1 → %2").arg(r.port).arg(utf8(r.device));
        detail(formtext("端口号："), port);
        detail(ReportSheet::tr("时间："), shownstamp(utf8(r.time)));
        detail(ReportSheet::tr("状态："), status);
        // A verified reading whose two readings agreed says so under its status.
        if (r.verified.value_or(false)) detail(QString(), ReportSheet::tr("已核对：两次读取一致"));
        if (!sheet_.reason.isEmpty()) detail(ReportSheet::tr("原因："), sheet_.reason);
        y_ += mm(2);
        rule(y_);
        y_ += mm(3);
    }

    void heading(const QString& title) {
        const double h = lineheight(title_);
        text(title_, QRectF(0, y_, width_, h), Qt::AlignLeft | Qt::AlignVCenter, title);
        text(small_, QRectF(0, y_, width_, h), Qt::AlignRight | Qt::AlignVCenter,
             QStringLiteral("meterreader %1").arg(sheet_.version));
        y_ += h + mm(1);
        rule(y_, 0, 0.5);
        y_ += mm(4);
        // A demo reading is marked on every page, so that no one signs it as a meter's.
        if (sheet_.reading.demo) {
            const QString mark = ReportSheet::tr("演示：模拟的邮资表，不是真实的读数");
            const double m = lineheight(label_);
            text(label_, QRectF(0, y_, width_, m), Qt::AlignLeft | Qt::AlignVCenter, mark,
                 Qt::red);
            y_ += m + mm(3);
        }
    }

    void detail(const QString& label, const QString& value) {
        const double indent = mm(34);
        const double h = std::max(lineheight(text_), wrappedheight(text_, width_ - indent, value));
        text(label_, QRectF(0, y_, indent, h), Qt::AlignLeft | Qt::AlignTop, label);
        text(text_, QRectF(indent, y_, width_ - indent, h),
             Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, value);
        y_ += h + mm(1);
    }

    // Where the page's traffic must end: above the lines to fill in on the first page, above
    // the footer on the others.
    double trafficend() const {
        return height_ - footerheight() - (page_ == 1 ? blankheight() : 0);
    }
    double footerheight() const { return lineheight(small_) + mm(3); }
    double blankheight() const { return 3 * mm(11) + mm(4); }

    void traffic() {
        const QFontMetricsF hex(hex_, &device_);
        const double width = width_;
        const auto fits = [&](const QString& line) { return hex.horizontalAdvance(line) <= width; };
        const struct {
            const char* caption;
            const std::string& bytes;
        } boxes[] = {{"发送信息：", sheet_.reading.sent}, {"接收信息：", sheet_.reading.received}};
        for (const auto& box : boxes) {
            QStringList lines = wraptraffic(latin1(box.bytes), fits);
            if (lines.isEmpty()) lines << ReportSheet::tr("（无）");
            // A caption stays with at least its first line.
            if (y_ + lineheight(label_) + lineheight(hex_) > trafficend()) nextpage();
            const double captionh = lineheight(label_);
            text(label_, QRectF(0, y_, width_, captionh), Qt::AlignLeft | Qt::AlignVCenter,
                 formtext(box.caption));
            y_ += captionh;
            const double lineh = lineheight(hex_);
            for (const QString& line : lines) {
                if (y_ + lineh > trafficend()) {
                    nextpage();
                    text(label_, QRectF(0, y_, width_, captionh), Qt::AlignLeft | Qt::AlignVCenter,
                         ReportSheet::tr("%1（续）").arg(formtext(box.caption)));
                    y_ += captionh;
                }
                text(hex_, QRectF(0, y_, width_, lineh), Qt::AlignLeft | Qt::AlignVCenter, line);
                y_ += lineh;
            }
            y_ += mm(3);
        }
    }

    // The lines filled in by hand, at the foot of the first page.
    void blanks() {
        double at = height_ - footerheight() - blankheight() + mm(4);
        const QString labels[] = {ReportSheet::tr("表号（序列号）："), ReportSheet::tr("客户："),
                                  ReportSheet::tr("技术员签字：")};
        for (const QString& label : labels) {
            at += mm(11);
            const double h = lineheight(text_);
            const QFontMetricsF m(label_, &device_);
            text(label_, QRectF(0, at - h, width_, h), Qt::AlignLeft | Qt::AlignBottom, label);
            rule(at, m.horizontalAdvance(label) + mm(2));
        }
    }

    void footer() {
        if (page_ == 1) blanks();
        const double h = lineheight(small_);
        const QRectF line(0, height_ - h, width_, h);
        const ReadingReport& r = sheet_.reading;
        text(small_, line, Qt::AlignLeft | Qt::AlignVCenter,
             ReportSheet::tr("端口 %1 · %2 · %3")
                 .arg(r.port)
                 .arg(typetext(), shownstamp(utf8(r.time))));
        text(small_, line, Qt::AlignRight | Qt::AlignVCenter,
             ReportSheet::tr("第 %1 页，共 %2 页").arg(page_).arg(std::max(pages_, page_)));
    }

    void nextpage() {
        footer();
        if (p_) device_.newPage();
        ++page_;
        y_ = 0;
        heading(ReportSheet::tr("邮资表读数报告（续）"));
    }

    const ReportSheet& sheet_;
    QPagedPaintDevice& device_;
    QPainter* p_;
    int pages_;
    int page_ = 1;
    double y_ = 0;
    double width_ = 0;
    double height_ = 0;
    QFont title_, text_, label_, valuelabel_, value_, hex_, small_;
};

} // namespace

QStringList wraptraffic(const QString& text, const std::function<bool(const QString&)>& fits) {
    QStringList out;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QString line;
        for (const QString& word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (fits(longer)) {
                line = longer;
                continue;
            }
            if (!line.isEmpty()) out << line;
            line.clear();
            // A word wider than a line on its own is broken where it must be.
            for (const QChar c : word) {
                if (!line.isEmpty() && !fits(line + c)) {
                    out << line;
                    line.clear();
                }
                line += c;
            }
        }
        if (!line.isEmpty()) out << line;
    }
    return out;
}

int ReportSheet::paint(QPagedPaintDevice& device) const {
    if (device.width() <= 0 || device.height() <= 0) return 0;
    const int pages = Layout(*this, device, nullptr, 0).run();
    QPainter painter;
    if (!painter.begin(&device)) return 0;
    painter.setRenderHint(QPainter::Antialiasing);
    return Layout(*this, device, &painter, pages).run();
}

Reason ReportSheet::writepdf(const QString& path) const {
    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(300);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(18, 15, 18, 15), QPageLayout::Millimeter));
        writer.setTitle(ReportSheet::tr("邮资表读数报告"));
        writer.setCreator(QStringLiteral("meterreader %1").arg(version));
        paint(writer);
    }
    return savereport(path.toStdString(), std::string_view(pdf.constData(), pdf.size()));
}

} // namespace meter
