#pragma once
// The application font at a chosen point size while the object lives; the font before comes back afterwards.

#include <QApplication>
#include <QFont>

namespace testsupport {

// The font size the windows are designed for (on a 96-dpi screen).
constexpr double kDesignPoints = 8;

class AppFont {
public:
    explicit AppFont(double points) : before_(QApplication::font())
    {
        QFont font = before_;
        font.setPointSizeF(points);
        QApplication::setFont(font);
    }
    ~AppFont() { QApplication::setFont(before_); }
    AppFont(const AppFont &) = delete;
    AppFont &operator=(const AppFont &) = delete;

private:
    QFont before_;
};

} // namespace testsupport
