#pragma once
// The splash window: a borderless, always-on-top picture shown while the main window is being built.

#include <QWidget>

#include <functional>

class QLabel;

class TSplashForm : public QWidget {
    Q_OBJECT
public:
    // Shows the splash bitmap (named after the program file, looked up in the current folder) at its own size,
    // or a blank 258 x 224 window when there is none. A bitmap that cannot be read is reported, and the window
    // keeps the blank design size.
    TSplashForm();

    QLabel *Image;

protected:
    // A modal box shown while the splash stands would lie under it: the splash steps aside until the box goes.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
};

// Creates the splash window through `create` and shows it; any failure there is one beep, no message and no
// splash window.
TSplashForm *ShowSplash(const std::function<TSplashForm *()> &create = [] { return new TSplashForm; });

// The splash window from start-up until the main window's start-up timer frees it.
extern TSplashForm *SplashForm;
