#pragma once
// A Terminal on a reader link over a pty with the reader simulator on the other end.

#include "LinkFixture.h"
#include "link/TerminalWindow.h"
#include "link/TermLines.h"

#include <QPointer>

#include <algorithm>
#include <chrono>
#include <deque>

class TermFixture : public LinkFixture {
protected:
    using Lines = std::deque<std::string>;

    void openTerminal()
    {
        startLink();
        term = new TTermForm;
        term->show();
    }
    void TearDown() override
    {
        delete term.data();
        LinkFixture::TearDown();
    }

    Lines lines() const { return term->Lines->Lines(); }
    bool showsLine(const std::string &line) const
    {
        const Lines shown = lines();
        return std::find(shown.begin(), shown.end(), line) != shown.end();
    }
    // Runs events until the line is on the display.
    bool waitForLine(const std::string &line)
    {
        return PumpUntil([&] { return showsLine(line); }, std::chrono::seconds(3));
    }

    QPointer<TTermForm> term;
};
