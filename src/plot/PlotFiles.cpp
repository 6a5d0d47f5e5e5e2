#include "plot/PlotFiles.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <string_view>

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

QByteArray RenderPlotFile(const InteractionPlotData& data, PlotFileType type, QSize size) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QRectF area(QPointF(0, 0), QSizeF(size));
    const QString title = QStringLiteral(u"交互作用のプロット");
    switch (type) {
        case PlotFileType::Png: {
            QImage image(size, QImage::Format_RGB32);
            if (image.isNull()) throw OutOfMemoryError();
            {
                QPainter painter(&image);
                PaintInteractionPlot(painter, area, data);
            }
            image.setDotsPerMeterX(3780);  // 96 pixels per inch
            image.setDotsPerMeterY(3780);
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
            svg.setDescription(PlotCaption(data));
            QPainter painter(&svg);
            PaintInteractionPlot(painter, area, data);
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
            PaintInteractionPlot(painter, QRectF(0, 0, pdf.width(), pdf.height()), data);
            break;
        }
    }
    buffer.close();
    return bytes;
}

void WritePlotFile(const InteractionPlotData& data, PlotFileType type, QSize size, const std::string& path) {
    const QByteArray bytes = RenderPlotFile(data, type, size);
    WriteTextFile(path, [&](TextWriter& file) {
        file.Write(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    });
}

}  // namespace morvane::plot
