#pragma once

#include <QColor>
#include <QPixmap>
#include <QRegion>
#include <QWidget>

#include <vector>

#include "analysis/loudness_meter.h"

// The meter window's picture: level bars per channel, loudness bars and the
// numbers. Painted from the readings it is given.
class CMeterPanel : public QWidget {
public:
    explicit CMeterPanel(QWidget* parent);

    // Null: nothing is measured (before the first block, while the input
    // is lost); every level reads -inf.
    void SetReadings(const MeterReadings* readings);
    void SetScale(int target, bool relative);
    // "M -23.0 LUFS" ... one line per number, as painted.
    QStringList Numbers() const;
    QSize sizeHint() const override { return QSize(420, 260); }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    struct Layout {
        QRect levels, loudness, numbers;
    };
    struct Shape {
        QRect rect;
        QColor colour;
    };
    Layout Areas() const;
    QPixmap StaticPicture() const;
    std::vector<Shape> Shapes(const MeterReadings& readings, const Layout& layout) const;
    QRect NumberLine(const QRect& area, int line) const;
    void PaintNumbers(class QPainter& painter, const QRect& area, const QRegion& region) const;
    QString Loudness(double lufs) const;

    MeterReadings readings;
    int target = -23;
    bool relative = false;
    QPixmap background;  // the scales and captions, drawn once per size and scale
};
