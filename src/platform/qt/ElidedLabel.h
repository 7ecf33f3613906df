#pragma once
// A label for a long name, such as a device path: each line is cut in the middle to the width the layout
// gives, never widening its window, and the whole text is its tool tip.

#include <QLabel>

class TElidedLabel : public QLabel {
public:
    explicit TElidedLabel(QWidget *parent = nullptr);

    void setFullText(const QString &text);
    const QString &fullText() const { return full_; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void elide();

    QString full_;
};
