// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/form2.h"

#include "core/numbers/kalvon_error.h"
#include "entry/keypad.h"
#include "entry/paste.h"
#include "frontend/message_box.h"
#include "ui/accessibility.h"
#include "ui/colors.h"
#include "ui/command_button.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QRadioButton>
#include <QStyle>

#include <algorithm>
#include <limits>

namespace {

// Positions and sizes are laid out in twips; 15 twips are one logical pixel at 96 dpi.
QRect twips(int left, int top, int width, int height) {
    auto px = [](int t) {
        return (t + 7) / 15;
    };
    return QRect(px(left), px(top), px(width), px(height));
}

template <class W> W* place(QWidget* parent, const QString& name, const QRect& geometry) {
    auto* w = new W(parent);
    w->setObjectName(name);
    w->setGeometry(geometry);
    return w;
}

QLineEdit* textField(QWidget* parent, const QString& name, const QRect& geometry, QRgb color) {
    auto* field = place<QLineEdit>(parent, name, geometry);
    field->setMaxLength(std::numeric_limits<int>::max());
    Colors::setBackColor(field, color);
    return field;
}

QLabel* label(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry,
              QRgb color) {
    auto* l = place<QLabel>(parent, name, geometry);
    l->setText(caption);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Colors::setBackColor(l, color);
    return l;
}

// A frame painted by the window itself: its inside entirely in its own background colour, one
// line around it, broken at the top by the caption. The desktop style's group box lays a shade of
// its own over the inside (Fusion's turns the window orange into #FCBE7E).
class FrameBox : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QFontMetrics metrics = fontMetrics();
        painter.setPen(palette().color(QPalette::Window).darker(160));
        painter.drawRect(rect().adjusted(0, metrics.height() / 2, -1, -1));
        const QRect caption(4, 0, metrics.horizontalAdvance(title()) + 4, metrics.height());
        painter.fillRect(caption, palette().window());
        style()->drawItemText(&painter, caption, Qt::AlignCenter, palette(), isEnabled(), title(),
                              QPalette::WindowText);
    }
};

QGroupBox* frame(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry,
                 QRgb color) {
    auto* f = place<FrameBox>(parent, name, geometry);
    f->setTitle(caption);
    Colors::setBackColor(f, color);
    return f;
}

QRadioButton* option(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry) {
    auto* o = place<QRadioButton>(parent, name, geometry);
    o->setText(caption);
    Colors::setBackColor(o, Colors::WindowOrange);
    return o;
}

} // namespace

Form2::Form2(QWidget* parent)
    : QMainWindow(parent) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Kalvon"));
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/kalvon-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/kalvon-32.png"), QSize(32, 32));
    setWindowIcon(icon);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    buildControls();
    chooseFont();
    buildMenu();
    buildTabOrder();
    connectHandlers();
    // Paste of amount lists, the keypad decimal key and names for screen readers.
    new PasteFilter(this);
    new KeypadDecimalFilter(this);
    Accessibility::nameControls(*this);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    Text1[0]->setFocus(Qt::OtherFocusReason);
    // Key preview and focus-loss handling: the window sees its controls' events first.
    qApp->installEventFilter(this);
}

Form2::~Form2() {
    qApp->removeEventFilter(this);
}

void Form2::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(twips(0, 0, 8055, 5985).size());
    Colors::setBackColor(client, Colors::WindowOrange);
    setCentralWidget(client);

    for (int i = 0; i < 23; ++i) {
        Text1[i] = textField(client, QStringLiteral("Text1_%1").arg(i), twips(1320, 120 + 240 * i, 1815, 285),
                             Colors::ValueFieldNormal);
    }
    for (int i = 0; i < 23; ++i) {
        Label1[i] = label(client, QStringLiteral("Label1_%1").arg(i), QStringLiteral("%1.Wert").arg(i + 1),
                          twips(600, 120 + 240 * i, 735, 255), Colors::ValueFieldNormal);
    }

    Frame2 = frame(client, QStringLiteral("Frame2"), QStringLiteral("Optionen"), twips(3600, 240, 2175, 1095),
                   Colors::WindowOrange);
    Option1[0] = option(Frame2, QStringLiteral("Option1_0"), QStringLiteral("genaue Suche"),
                        twips(120, 240, 1695, 375));
    Option1[1] = option(Frame2, QStringLiteral("Option1_1"), QStringLiteral("Toleranzsuche"),
                        twips(120, 600, 1695, 375));
    Option1[0]->setChecked(true);

    Frame1 = frame(client, QStringLiteral("Frame1"), QStringLiteral("Fortschritt der Berechnung"),
                   twips(3360, 1560, 4575, 1215), Colors::ValueFieldNormal);
    Frame1->setCursor(Qt::ArrowCursor);
    ProgressBar1 = place<QProgressBar>(Frame1, QStringLiteral("ProgressBar1"), twips(240, 240, 4095, 255));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setFocusPolicy(Qt::NoFocus);
    cmdStop = place<CommandButton>(Frame1, QStringLiteral("cmdStop"), twips(3240, 600, 1215, 495));
    cmdStop->setText(QStringLiteral("Stop"));
    cmdStop->setTag(QStringLiteral("False"));
    cmdStop->setCursor(Qt::ArrowCursor);
    cmdStop->setAutoDefault(false);
    cmdStop->hide();
    Frame1->hide();

    Command1 = place<QPushButton>(client, QStringLiteral("Command1"), twips(3600, 2880, 1215, 495));
    Command1->setText(QStringLiteral("Berechnen"));
    Command1->setAutoDefault(false);
    cmdClear = place<QPushButton>(client, QStringLiteral("cmdClear"), twips(5640, 2880, 1215, 495));
    cmdClear->setText(QStringLiteral("Clear"));
    cmdClear->setAutoDefault(false);
    cmdClear->setFocusPolicy(Qt::ClickFocus);

    Label4 = label(client, QStringLiteral("Label4"), QStringLiteral("Summe der eingegebenen Zahlen"),
                   twips(3360, 3720, 2535, 255), Colors::WindowOrange);
    lblSumme = label(client, QStringLiteral("lblSumme"), QString(), twips(5880, 3600, 1815, 375),
                     Colors::ValueFieldNormal);
    lblSumme->setFrameStyle(QFrame::Box | QFrame::Plain);
    lblSumme->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblSumme->setMargin(2);
    Label2 = label(client, QStringLiteral("Label2"), QStringLiteral("Zielwert (Summe)"),
                   twips(4800, 4080, 975, 495), Colors::ValueFieldNormal);
    Label2->setWordWrap(true);
    txtSumme = textField(client, QStringLiteral("txtSumme"), twips(5880, 4080, 1815, 495),
                         Colors::TargetFieldNormal);

    Frame3 = frame(client, QStringLiteral("Frame3"), QStringLiteral("Suche im Toleranzbereich"),
                   twips(3600, 4680, 4095, 1215), Colors::WindowOrange);
    Label3 = label(Frame3, QStringLiteral("Label3"), QStringLiteral("Toleranz- bereich"),
                   twips(360, 480, 735, 495), Colors::WindowOrange);
    Label3->setWordWrap(true);
    txtToleranz = textField(Frame3, QStringLiteral("txtToleranz"), twips(1320, 480, 1215, 495),
                            Colors::ValueFieldNormal);
    Frame4 = frame(Frame3, QStringLiteral("Frame4"), QStringLiteral("Betrag/Prozent"),
                   twips(2640, 240, 1335, 855), Colors::WindowOrange);
    Option2[1] =
        option(Frame4, QStringLiteral("Option2_1"), QStringLiteral("Betrag"), twips(120, 240, 1455, 255));
    Option2[0] =
        option(Frame4, QStringLiteral("Option2_0"), QStringLiteral("Prozent"), twips(120, 480, 1455, 255));
    Option2[1]->setChecked(true);
    // Wider than the frame's inside: cut off at its line rather than painted over it.
    for (QRadioButton* o : Option2)
        o->setMask(QRegion(0, 0, Frame4->width() - 1 - o->x(), o->height()));
    Label3->hide();
    txtToleranz->hide();
    Frame4->hide();
    Frame3->hide();

    Colors::setBackColor(Command1, Colors::Grey);
    Colors::setBackColor(cmdClear, Colors::ValueFieldNormal);
    updateOptionFocusPolicies();
}

// The layout was made for a small 8-point font. Take the largest size of the desktop's font
// family at which every caption fits its control.
void Form2::chooseFont() {
    struct Caption {
        QString text;
        int width;
    };
    const int indicator = 22; // option button's circle and spacing
    const QList<Caption> captions = {
        {Label1[22]->text(), Label1[22]->width() - 1},
        {Label4->text(), Label4->width()},
        {QStringLiteral("(Summe)"), Label2->width()},
        {QStringLiteral("Zielwert"), Label2->width()},
        {QStringLiteral("Toleranz-"), Label3->width()},
        {Option1[1]->text(), Option1[1]->width() - indicator},
        {Option2[0]->text(), Frame4->width() - Option2[0]->x() - indicator},
        {Frame4->title(), Frame4->width() - 8},
        {Frame3->title(), Frame3->width() - 8},
        {Command1->text(), Command1->width() - 10},
    };
    QFont chosen = font();
    for (int pixels = 13; pixels >= 8; --pixels) {
        chosen.setPixelSize(pixels);
        const QFontMetrics metrics(chosen);
        const bool fits = std::all_of(captions.begin(), captions.end(), [&](const Caption& c) {
            return metrics.horizontalAdvance(c.text) <= c.width;
        });
        if (fits && metrics.height() <= Text1[0]->height() - 4)
            break;
    }
    setFont(chosen);
}

void Form2::buildMenu() {
    mnuDatei = menuBar()->addMenu(QStringLiteral("Datei"));
    mnuDatei->setObjectName(QStringLiteral("mnuDatei"));
    mnuEnd = mnuDatei->addAction(QStringLiteral("Beenden"));
    mnuEnd->setObjectName(QStringLiteral("mnuEnd"));
    mnuInfo = mnuDatei->addAction(QStringLiteral("Info"));
    mnuInfo->setObjectName(QStringLiteral("mnuInfo"));
}

void Form2::buildTabOrder() {
    QList<QWidget*> chain(Text1.begin(), Text1.end());
    // "Clear" is no tab stop but keeps its place: after a click on it, Tab goes on as from "Stop".
    chain << txtSumme << Command1 << cmdStop << cmdClear << Option1[0] << Option1[1] << Option2[1]
          << Option2[0] << txtToleranz;
    for (qsizetype i = 0; i + 1 < chain.size(); ++i)
        QWidget::setTabOrder(chain[i], chain[i + 1]);
}

// An option group is one tab stop, on its chosen button.
void Form2::updateOptionFocusPolicies() {
    for (auto* group : {&Option1, &Option2}) {
        for (QRadioButton* b : *group)
            b->setFocusPolicy(b->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

bool Form2::exactSearchChosen() const {
    return Option1[0]->isChecked();
}

bool Form2::toleranceSearchChosen() const {
    return Option1[1]->isChecked();
}

bool Form2::toleranceAsAmount() const {
    return Option2[1]->isChecked();
}

void Form2::connectHandlers() {
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(cmdStop, &QPushButton::clicked, this, &Form2::cmdStop_Click);
    connect(cmdClear, &QPushButton::clicked, this, &Form2::cmdClear_Click);
    for (int i = 0; i < 2; ++i) {
        connect(Option1[i], &QRadioButton::toggled, this, [this, i](bool checked) {
            updateOptionFocusPolicies();
            if (checked)
                Option1_Click(i);
        });
        connect(Option2[i], &QRadioButton::toggled, this, [this] { updateOptionFocusPolicies(); });
    }
    connect(mnuEnd, &QAction::triggered, this, &Form2::mnuEnd_Click);
    connect(mnuInfo, &QAction::triggered, this, &Form2::mnuInfo_Click);
}

void Form2::reportFailure(const KalvonError& error) {
    if (m_unloadRequested)
        return;
    MessageBoxService::show(error.userMessage(), MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("Fehler"));
}

namespace {
// The character a key press types, as the window's key handler sees it; 0 for keys that type none.
int keyAsciiOf(const QKeyEvent* key) {
    const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && plain)
        return 13;
    const QString text = key->text();
    return text.isEmpty() ? 0 : text.at(0).unicode();
}

bool isFocusLoss(const QFocusEvent* event) {
    // The window losing activation (a message box, another program) or a menu taking the
    // keyboard is not the field being left.
    switch (event->reason()) {
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
    case Qt::MenuBarFocusReason:
        return false;
    default:
        return true;
    }
}
} // namespace

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this) {
            int keyAscii = keyAsciiOf(static_cast<QKeyEvent*>(event));
            if (keyAscii != 0) {
                Form_KeyPress(keyAscii);
                if (keyAscii == 0)
                    return true;
            }
        }
    } else if (event->type() == QEvent::FocusOut && !m_unloadRequested &&
               isFocusLoss(static_cast<QFocusEvent*>(event))) {
        if (watched == txtSumme) {
            txtSumme_LostFocus();
        } else if (watched == txtToleranz) {
            txtToleranz_LostFocus();
        } else {
            for (int i = 0; i < 23; ++i) {
                if (watched == Text1[i]) {
                    Text1_LostFocus(i);
                    break;
                }
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form2::closeEvent(QCloseEvent* event) {
    if (m_running) {
        // Closing from inside a run's event pump: the run ends as soon as the pump returns,
        // and the window closes once the run has left the stack.
        m_unloadRequested = true;
        event->ignore();
        return;
    }
    event->accept();
}
