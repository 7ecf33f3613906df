#include "About.h"

#include "model/Edition.h"
#include "platform/qt/DesignSize.h"
#include "platform/qt/ScreenPlacement.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr char kVersion[] = "Version 2.03";
constexpr char kDate[] = "March 28, 2007";

struct EditionTexts {
    const char *caption;
    const char *product;
};

// Partner editions carry their own product line; the version and date are the program's.
const EditionTexts kEditions[7] = {
    {"About Corvane", "Corvane"},
    {"About", "Corvane - Edition 1"},
    {"About", "Corvane - Reader Edition"},
    {"About", "Corvane - Edition 3"},
    {"About", "Corvane - Edition 4"},
    {"About", "Corvane - Edition 5"},
    {"About", "Corvane - Edition 6"},
};

QLabel *boldLabel(const char *text)
{
    auto *label = new QLabel(text);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    return label;
}

} // namespace

QPixmap TAboutBox::Logo()
{
    QPixmap logo(64, 64);
    logo.fill(Qt::white);
    QPainter p(&logo);
    const int widths[] = {3, 1, 2, 1, 4, 2, 1, 3, 1, 2, 2, 1, 3};
    int x = 6;
    bool bar = true;
    for (int w : widths) {
        if (bar) p.fillRect(x, 8, w * 2, 48, Qt::black);
        x += w * 2;
        bar = !bar;
    }
    p.setPen(Qt::darkGray);
    p.drawRect(0, 0, 63, 63);
    return logo;
}

TAboutBox::TAboutBox(QWidget *owner, uint8_t edition) : QDialog(owner)
{
    const EditionTexts &texts = kEditions[edition < 7 ? edition : 0];
    setWindowTitle(texts.caption);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);

    auto *panel = new QFrame;
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto *grid = new QGridLayout(panel);
    ProgramIcon = new QLabel;
    ProgramIcon->setPixmap(Logo());
    ProductLabel = boldLabel(texts.product);
    VersionLabel = boldLabel(kVersion);
    MakerLabel = boldLabel("Made by the Corvane developers");
    VerDateLabel = boldLabel(kDate);
    VerDateLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(ProgramIcon, 0, 0, 3, 1);
    grid->addWidget(ProductLabel, 0, 1);
    grid->addWidget(VersionLabel, 1, 1);
    grid->addWidget(MakerLabel, 2, 1);
    grid->addWidget(VerDateLabel, 3, 0, 1, 2);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addWidget(buttons);
    FixDialogSize(*this, {394, 180});
    CenterOnScreen(*this);
}

void ShowAboutBox(QWidget *owner)
{
    TAboutBox box(owner, EditionCode);
    box.exec();
}
