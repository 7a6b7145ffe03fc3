#pragma once

#include <QGroupBox>

// A frame drawn the old way: an etched border whose top line runs through the middle of the
// caption's height, and the caption, when there is one, written into that line a little in
// from the left. The border stays where it is whether or not there is a caption, so a
// caption that comes and goes moves nothing inside.
class CaptionFrame : public QGroupBox {
    Q_OBJECT
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent *event) override;
};
