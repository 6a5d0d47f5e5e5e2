#include "plot/PlotFiles.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <functional>
#include <string_view>

#include "plot/QuickPng.h"
#include "runtime/Errors.h"
#include "runtime/TextWriter.h"

namespace morvane::plot {

std::optional<PlotFileType> PlotFileTypeOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png")) return PlotFileType::Png;
    if (suffix == QLatin1String("svg")) return PlotFileType::Svg;
    if (suffix == QLatin1String("pdf")) return PlotFileType::Pdf;
    return std::nullopt;
}

namespace {

using Painting = std::function<void(QPainter&, const QRectF&)>;

// A file of `type` and `size` that `paint` draws, its title and description
// those of an SVG drawing (the PDF has the title).
QByteArray Render(PlotFileType type, QSize size, const QString& title, const QString& description,
                  const Painting& paint) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QRectF area(QPointF(0, 0), QSizeF(size));
    switch (type) {
        case PlotFileType::Png: {
            QImage image(size, QImage::Format_RGB32);
            if (image.isNull()) throw OutOfMemoryError();
            {
                QPainter painter(&image);
                paint(painter, area);
            }
            image.setDotsPerMeterX(3780);  // 96 pixels per inch
            image.setDotsPerMeterY(3780);
            // Beyond kPlotQuickPngPixels the quick writer: Qt's tries every
            // filter on every row, several seconds at 8192 x 8192.
            if (static_cast<qint64>(size.width()) * size.height() > kPlotQuickPngPixels) {
                QByteArray quick = QuickPng(image);
                if (quick.isEmpty()) throw OutOfMemoryError();
                return quick;
            }
            if (!image.save(&buffer, "PNG")) throw OutOfMemoryError();
            break;
        }
        case PlotFileType::Svg: {
            QSvgGenerator svg;
            svg.setOutputDevice(&buffer);
            svg.setSize(size);
            svg.setViewBox(area);
            svg.setResolution(96);
            svg.setTitle(title);
            svg.setDescription(description);
            QPainter painter(&svg);
            paint(painter, area);
            break;
        }
        case PlotFileType::Pdf: {
            QPdfWriter pdf(&buffer);
            pdf.setResolution(96);
            pdf.setTitle(title);
            pdf.setCreator(QStringLiteral("PMorvane"));
            // A page of the plot's size: 72 points for every 96 pixels.
            const QPageSize page(QSizeF(size.width() * 0.75, size.height() * 0.75), QPageSize::Point,
                                 QString(), QPageSize::ExactMatch);
            pdf.setPageLayout(QPageLayout(page, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
            QPainter painter(&pdf);
            paint(painter, QRectF(0, 0, pdf.width(), pdf.height()));
            break;
        }
    }
    buffer.close();
    return bytes;
}

void Write(const QByteArray& bytes, const std::string& path) {
    WriteTextFile(path, [&](TextWriter& file) {
        file.Write(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    });
}

}  // namespace

QByteArray RenderPlotFile(const InteractionPlotData& data, PlotFileType type, QSize size) {
    return Render(type, size,
                  data.english ? QStringLiteral("Interaction plot") : QStringLiteral(u"交互作用のプロット"),
                  PlotCaption(data, type == PlotFileType::Svg && InteractionPlotSummed(data, QSizeF(size))),
                  [&](QPainter& painter, const QRectF& area) { PaintInteractionPlot(painter, area, data); });
}

QByteArray RenderPlotFile(const QuantilePlotData& data, PlotFileType type, QSize size) {
    return Render(type, size,
                  data.english ? QStringLiteral("Normal Q-Q plot") : QStringLiteral(u"正規 Q-Q プロット"),
                  QuantilePlotCaption(data),
                  [&](QPainter& painter, const QRectF& area) { PaintQuantilePlot(painter, area, data); });
}

void WritePlotFile(const InteractionPlotData& data, PlotFileType type, QSize size, const std::string& path) {
    Write(RenderPlotFile(data, type, size), path);
}

void WritePlotFile(const QuantilePlotData& data, PlotFileType type, QSize size, const std::string& path) {
    Write(RenderPlotFile(data, type, size), path);
}

}  // namespace morvane::plot
