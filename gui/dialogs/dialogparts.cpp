#include "dialogparts.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>

#include <algorithm>

namespace {

// Keeps a box's layout at least as wide as its title needs: a strut of no
// height in the layout, sized whenever the box is polished (before its
// layout first sets its size), shown or given a new title.
class TitleStrut : public QObject {
public:
    static constexpr const char* Name = "TitleStrut";

    explicit TitleStrut(QWidget* box) : QObject(box), Box(box) {
        setObjectName(Name);
        box->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type t = event->type();
        if (watched == Box && (t == QEvent::Polish || t == QEvent::Show || t == QEvent::WindowTitleChange)) Fit();
        return false;
    }

private:
    void Fit() {
        QLayout* layout = Box->layout();
        if (!layout) {
            Box->setMinimumWidth(std::max(Box->minimumWidth(), TitleBarWidth(Box->windowTitle())));
            return;
        }
        const QMargins m = layout->contentsMargins() + Box->contentsMargins();
        const int width = std::max(0, TitleBarWidth(Box->windowTitle()) - m.left() - m.right());
        if (layout != StrutLayout) {
            // A first layout, or a new one (the old took its strut along).
            StrutLayout = layout;
            Strut = new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Fixed);
            // The layout owns it; in a grid it spans a row of its own.
            if (auto* grid = qobject_cast<QGridLayout*>(layout))
                grid->addItem(Strut, grid->rowCount(), 0, 1, std::max(1, grid->columnCount()));
            else
                layout->addItem(Strut);
        } else if (Strut->sizeHint().width() == width) {
            return;
        }
        Strut->changeSize(width, 0, QSizePolicy::Fixed, QSizePolicy::Fixed);
        layout->invalidate();
    }

    QWidget* Box;
    QPointer<QLayout> StrutLayout;
    QSpacerItem* Strut = nullptr;  // in StrutLayout
};

}  // namespace

void SetUpFixedDialog(QDialog* dialog, const QString& name, const QString& title) {
    dialog->setObjectName(name);
    dialog->setWindowTitle(title);
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    FrameModalBox(dialog);
    dialog->setModal(true);
}

int TitleBarWidth(const QString& title) {
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    const QFontMetrics fm(font);
    // The icon and three buttons, each about as wide as the bar is high (the
    // text's height and its padding), and the margins at the bar's ends and
    // between them: openbox's take 100 to 120 pixels beside a text 14 high.
    return fm.horizontalAdvance(title) + 9 * fm.height();
}

void FrameModalBox(QWidget* box) {
    const Qt::WindowFlags kept =
        box->windowFlags() & ~(Qt::WindowType_Mask | Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint);
    box->setWindowFlags(kept | Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    if (!box->findChild<QObject*>(TitleStrut::Name, Qt::FindDirectChildrenOnly)) new TitleStrut(box);
}

QComboBox* MakeCombo(QWidget* parent, const char* name, const QString& text, const QStringList& items) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(items);
    box->setEditText(text);
    return box;
}

void CentreOnScreen(QWidget* window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
    }
}

QFileDialog* MakeFileDialog(QWidget* parent, const char* name, bool forSaving, const QStringList& nameFilters) {
    auto* dialog = new QFileDialog(parent);
    dialog->setObjectName(name);
    dialog->setAcceptMode(forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilters(nameFilters);
    if (forSaving) dialog->setOption(QFileDialog::DontConfirmOverwrite);
    FrameModalBox(dialog);
    return dialog;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

QPushButton* MakeOkButton(QWidget* parent, const QString& name) {
    auto* button = new QPushButton("OK", parent);
    button->setObjectName(name);
    button->setDefault(true);
    return button;
}

QPushButton* MakeCancelButton(QDialog* dialog, const QString& name) {
    auto* button = new QPushButton("Cancel", dialog);
    button->setObjectName(name);
    QObject::connect(button, &QPushButton::clicked, dialog, &QDialog::reject);
    return button;
}

QHBoxLayout* CentredRow(std::initializer_list<QWidget*> widgets) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QWidget* w : widgets) row->addWidget(w);
    row->addStretch();
    return row;
}

void PaintFramedPicture(QWidget* widget, const QPixmap& picture, int penWidth) {
    QPainter p(widget);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawPixmap(widget->rect(), picture);
    p.setPen(QPen(QColor(200, 160, 96), penWidth));
    p.setBrush(Qt::NoBrush);
    const int inset = penWidth / 2;
    p.drawEllipse(QRectF(widget->rect()).adjusted(inset, inset, -inset, -inset));
}
