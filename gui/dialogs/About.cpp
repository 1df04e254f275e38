#include "About.h"

#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "colours.h"
#include "dialogparts.h"
#include "helpsystem.h"

TAboutBox* AboutBox = nullptr;

namespace {

// The picture, stretched over the widget, with an ellipse outline over it.
class picture : public QWidget {
public:
    picture(const QString& file, QWidget* parent) : QWidget(parent), image(file) {
        setFixedSize(image.isNull() ? QSize(300, 200) : image.size());
    }

protected:
    void paintEvent(QPaintEvent*) override { PaintFramedPicture(this, image, 4); }

private:
    QPixmap image;
};

void SetFontColour(QLabel* label, int colourValue) {
    SetPaletteColour(label, QPalette::WindowText, ColourFromValue(colourValue));
}

}  // namespace

urllabel::urllabel(TAboutBox* owner, QWidget* parent) : QLabel(parent), box(owner) {}

void urllabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) box->URLLabelMouseDown();
}

void urllabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) box->URLLabelMouseUp();
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    SetUpFixedDialog(this, "AboutBox", "About Morlaquin");

    ProgramIcon = new picture(":/images/about.png", this);
    ProgramIcon->setObjectName("ProgramIcon");

    Version = new QLabel("Version ", this);
    Version->setObjectName("Version");
    Version->setAlignment(Qt::AlignCenter);
    {
        QFont f = Version->font();
        f.setBold(true);
        Version->setFont(f);
    }

    Copyright = new QLabel("A chess program with its own engine.\nMade by the Morlaquin developers.", this);
    Copyright->setObjectName("Copyright");
    Copyright->setAlignment(Qt::AlignCenter);

    URLLabel = new urllabel(this, this);
    URLLabel->setObjectName("URLLabel");
    URLLabel->setText(QFileInfo(HelpFile()).fileName());
    URLLabel->setAlignment(Qt::AlignCenter);
    URLLabel->setCursor(Qt::PointingHandCursor);
    {
        QFont f = URLLabel->font();
        f.setUnderline(true);
        URLLabel->setFont(f);
    }
    SetFontColour(URLLabel, 0xFF0000);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName("Bevel1");
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);

    Button1 = MakeOkButton(this, "Button1");
    connect(Button1, &QPushButton::clicked, this, &TAboutBox::Button1Click);

    auto* buttons = CentredRow({Button1});

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ProgramIcon, 0, Qt::AlignHCenter);
    layout->addWidget(Version);
    layout->addWidget(Copyright);
    layout->addWidget(URLLabel);
    layout->addWidget(Bevel1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

TAboutBox::~TAboutBox() {
    if (AboutBox == this) AboutBox = nullptr;
}

void TAboutBox::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TAboutBox::FormShow() {
    Version->setText("Version " + VersionField);
}

void TAboutBox::URLLabelMouseDown() { SetFontColour(URLLabel, 0x800080); }

void TAboutBox::URLLabelMouseUp() {
    ShowHelpContents();
    SetFontColour(URLLabel, 0xFF0000);
}

void TAboutBox::Button1Click() { close(); }
