#pragma once
// The splash window: a borderless, always-on-top picture shown while the main window is being built.

#include <QWidget>

class QLabel;

class TSplashForm : public QWidget {
    Q_OBJECT
public:
    // Shows the splash bitmap (named after the program file, looked up in the current folder) at its own size,
    // or a blank 258 x 224 window when there is none.
    TSplashForm();

    QLabel *Image;
};

// The splash window from start-up until the main window's start-up timer frees it.
extern TSplashForm *SplashForm;
