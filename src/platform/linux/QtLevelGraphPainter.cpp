#include "platform/linux/QtLevelGraphPainter.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace quietmon {
namespace {

constexpr int lowestDb = -96;
const QColor leftColour(0x1f, 0x5f, 0xbf);
const QColor rightColour(0x2e, 0x9e, 0x3e);

// The plot's frame inside the picture: room for the dB scale, the title and the times.
struct Frame {
    QRectF plot;
    double secondWidth;

    double x(double second) const { return plot.left() + second * secondWidth; }
    double y(int db) const {
        return plot.top() + plot.height() * static_cast<double>(-std::clamp(db, lowestDb, 0)) / -lowestDb;
    }
};

void drawChannel(QPainter& painter, const Frame& frame, const LevelGraph& graph, bool left,
                 const QColor& colour) {
    QPainterPath path;
    bool drawing = false;
    for (std::size_t i = 0; i < graph.seconds.size(); ++i) {
        const LevelGraph::Second& second = graph.seconds[i];
        if (!second.recorded) {
            drawing = false; // a gap stays a gap
            continue;
        }
        const QPointF point(frame.x(static_cast<double>(i) + 0.5),
                            frame.y(left ? second.dbLeft : second.dbRight));
        if (drawing)
            path.lineTo(point);
        else
            path.moveTo(point);
        drawing = true;
    }
    painter.setPen(QPen(colour, 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

} // namespace

std::string QtLevelGraphPainter::drawPng(const LevelGraph& graph, int width, int height,
                                         std::string& failure) {
    if (!QGuiApplication::instance()) {
        failure = "no Qt application to draw with";
        return {};
    }
    if (graph.seconds.empty()) {
        failure = "no levels were measured";
        return {};
    }
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) {
        failure = "out of memory";
        return {};
    }
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    const QRectF plot(44, 24, width - 54, height - 48);
    const Frame frame{plot, plot.width() / static_cast<double>(graph.seconds.size())};
    const int last = static_cast<int>(graph.seconds.size());

    if (graph.silenceFrom) {
        const int from = std::clamp(*graph.silenceFrom, 0, last);
        const int to = std::clamp(graph.silenceTo.value_or(last), from, last);
        painter.fillRect(QRectF(frame.x(from), plot.top(), frame.x(to) - frame.x(from), plot.height()),
                         QColor(0xf6, 0xd0, 0xd0));
    }
    painter.setPen(QColor(0xdd, 0xdd, 0xdd));
    for (int db = 0; db >= lowestDb; db -= 12) {
        painter.drawLine(QPointF(plot.left(), frame.y(db)), QPointF(plot.right(), frame.y(db)));
        painter.setPen(Qt::darkGray);
        painter.drawText(QRectF(0, frame.y(db) - 7, plot.left() - 4, 14), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(db));
        painter.setPen(QColor(0xdd, 0xdd, 0xdd));
    }
    // A time under the plot every two minutes, and at its ends.
    painter.setPen(Qt::darkGray);
    for (int offset = 0; offset <= last; offset += 120) {
        const QString time = QString::fromStdString(
            graph.start.addMilliseconds(static_cast<std::int64_t>(offset) * 1000).formatTime());
        painter.drawLine(QPointF(frame.x(offset), plot.bottom()),
                         QPointF(frame.x(offset), plot.bottom() + 4));
        // The labels at the ends stay inside the picture.
        const double labelLeft = std::clamp(frame.x(offset) - 40, 0.0, static_cast<double>(width) - 80);
        painter.drawText(QRectF(labelLeft, plot.bottom() + 5, 80, 16), Qt::AlignHCenter, time);
    }
    drawChannel(painter, frame, graph, true, leftColour);
    drawChannel(painter, frame, graph, false, rightColour);
    painter.setPen(QPen(QColor(0xc0, 0x20, 0x20), 1.5, Qt::DashLine));
    painter.drawLine(QPointF(plot.left(), frame.y(graph.thresholdDb)),
                     QPointF(plot.right(), frame.y(graph.thresholdDb)));
    painter.setPen(QColor(0xc0, 0x20, 0x20));
    painter.drawText(QRectF(plot.left() + 4, frame.y(graph.thresholdDb) - 15, 200, 14), Qt::AlignLeft,
                     QStringLiteral("threshold %1 dB").arg(graph.thresholdDb));

    painter.setPen(Qt::black);
    painter.drawRect(plot);
    painter.drawText(QRectF(plot.left(), 4, plot.width() / 2, 16), Qt::AlignLeft,
                     QString::fromStdString(graph.title));
    const QFontMetrics metrics(font);
    const QString leftName = QString::fromStdString(graph.leftName);
    const QString rightName = QString::fromStdString(graph.rightName);
    double x = plot.right() - metrics.horizontalAdvance(leftName) - metrics.horizontalAdvance(rightName) - 60;
    for (const auto& [name, colour] : {std::pair{leftName, leftColour}, std::pair{rightName, rightColour}}) {
        painter.fillRect(QRectF(x, 9, 14, 4), colour);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(x + 18, 4, metrics.horizontalAdvance(name) + 4, 16), Qt::AlignLeft, name);
        x += 18 + metrics.horizontalAdvance(name) + 12;
    }
    painter.end();

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        failure = "the PNG could not be written";
        return {};
    }
    return png.toStdString();
}

} // namespace quietmon
