#include "platform/qt/QtDialogs.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QToolBar>
#include <QWheelEvent>
#include <cstring>

#include "platform/qt/QtWindowSystem.h"
#include "resource_ids.h"

namespace ostrel::platform::qt {

namespace {

constexpr int kIdCancel = 2;
constexpr int kNoId = -1;

// Scroll codes the bars report besides those the player names.
constexpr std::uint32_t kSbLeft = 6;
constexpr std::uint32_t kSbRight = 7;

constexpr WParam makeWParam(std::uint32_t low, std::uint32_t high) {
    return static_cast<WParam>((high & 0xFFFFu) << 16 | (low & 0xFFFFu));
}

QString fromLocal(const char* text) {
    return QString::fromLocal8Bit(text ? text : "");
}

// The templates' font: 8 points, about 11 pixels on a usual screen.
QFont dialogFont() {
    QFont font = QApplication::font();
    // Narrow sans-serif faces keep the texts within the templates' widths.
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Helvetica")});
    font.setPixelSize(11);
    return font;
}

// A picture control: draws its bitmap resource at its top-left corner,
// loading it afresh for every paint as the owner-drawn control does.
class Picture final : public QWidget {
public:
    Picture(const QString& resource, QWidget* parent) : QWidget(parent), resource_(resource) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QImage picture(resource_);
        QPainter painter(this);
        painter.drawImage(QPoint(0, 0), picture);
    }

private:
    QString resource_;
};

struct Control {
    enum Kind { GroupBox, Static, Picture, Bar, Button, Edit } kind;
    int id;
    const char* text;
    int x, y, width, height;
    bool isDefault = false;
};

// The two templates, control by control in template order.
constexpr Control kSettingsControls[] = {
    {Control::GroupBox, kNoId, " Stream position ", 5, 5, 190, 40},
    {Control::Bar, IDC_POSITION_BAR, "", 10, 20, 180, 10},
    {Control::Bar, IDC_VOLUME_BAR, "", 10, 65, 180, 10},
    {Control::GroupBox, kNoId, " Volume level ", 5, 50, 190, 40},
    {Control::GroupBox, kNoId, " Play item ", 5, 95, 190, 40},
    {Control::Button, IDC_ITEM_PREV, "&<", 65, 110, 20, 14},
    {Control::Edit, IDC_ITEM_NUMBER, "", 90, 110, 20, 14},
    {Control::Button, IDC_ITEM_NEXT, "&>", 115, 110, 20, 14},
    {Control::Button, IDOK, "&OK", 145, 145, 50, 14, true},
};

constexpr Control kAboutControls[] = {
    {Control::Picture, IDC_ABOUT_PICTURE, ":/bitmaps/about.bmp", 12, 15, 97, 69},
    {Control::GroupBox, kNoId, "", 5, 5, 185, 80},
    {Control::Static, kNoId, "ostrel", 128, 30, 55, 8},
    {Control::Static, kNoId, "v", 128, 40, 5, 8},
    {Control::Static, IDC_VERSION, " ", 133, 40, 55, 8},
    {Control::Static, kNoId, "(Kestrel)", 149, 40, 35, 8},
    {Control::Static, kNoId, "Made by the ostrel developers", 12, 70, 175, 8},
    {Control::Static, IDC_LINK, "", 5, 90, 78, 8},
    {Control::Button, IDOK, "&OK", 140, 90, 50, 14, true},
};

}  // namespace

QRect dialogUnits(int x, int y, int width, int height) {
    return QRect(x * 6 / 4, y * 13 / 8, width * 6 / 4, height * 13 / 8);
}

// ---------------------------------------------------------------------------
// Static texts and links

StaticText::StaticText(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void StaticText::makeLink(const std::string& url, Link link) {
    url_ = url;
    link_ = std::move(link);
    // The link shows its own address.
    setText(QString::fromLocal8Bit(url.c_str()));
    QPalette blue = palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    setPalette(blue);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setCursor(Qt::PointingHandCursor);
}

void StaticText::mousePressEvent(QMouseEvent* event) {
    if (isLink() && event->button() == Qt::LeftButton) {
        if (!(link_.offline && link_.offline()) && link_.open) link_.open(url_);
    }
    QLabel::mousePressEvent(event);
}

// ---------------------------------------------------------------------------
// Scroll bars

DialogBar::DialogBar(QWidget* parent) : QScrollBar(Qt::Horizontal, parent) {
    // A new bar stands at 0 of 0..100 until the dialog sets it up.
    setRange(0, 100);
    setValue(0);
    // Right and left arrow keys step right and left (Qt's scroll bars turn
    // them round by default).
    setInvertedControls(false);
}

void DialogBar::wheelEvent(QWheelEvent* event) {
    // The wheel does not move a dialog's bar.
    event->ignore();
}

// ---------------------------------------------------------------------------
// Dialog window

DialogWindow::DialogWindow(QWidget* owner, DialogProc proc, const QString& caption,
                           QSize clientSize, StaticText::Link link)
    : QDialog(owner), proc_(proc), link_(std::move(link)) {
    // Caption and close box, no other buttons: a modal frame.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(caption);
    setFont(dialogFont());
    setFixedSize(clientSize);
    setModal(true);
}

void DialogWindow::addGroupBox(int id, const QString& title, QRect area) {
    auto* box = new QGroupBox(title, this);
    box->setGeometry(area);
    // A group box only frames: the controls drawn inside it stay on top and
    // take their own clicks.
    box->lower();
    if (id != kNoId) controls_[id] = box;
}

void DialogWindow::addStatic(int id, const QString& text, QRect area) {
    auto* label = new StaticText(text, this);
    label->setGeometry(area);
    if (id != kNoId) controls_[id] = label;
}

void DialogWindow::addPicture(int id, const QString& resource, QRect area) {
    auto* picture = new Picture(resource, this);
    picture->setGeometry(area);
    if (id != kNoId) controls_[id] = picture;
}

void DialogWindow::addBar(int id, QRect area) {
    auto* bar = new DialogBar(this);
    bar->setGeometry(area);
    bar->setSingleStep(10);
    bar->setPageStep(1000);
    QObject::connect(bar, &QAbstractSlider::actionTriggered, this,
                     [this, bar](int action) { barAction(bar, action); });
    QObject::connect(bar, &QAbstractSlider::sliderReleased, this, [this, bar] {
        forward(kWmHScroll,
                makeWParam(kSbThumbPosition, static_cast<std::uint32_t>(bar->sliderPosition())),
                reinterpret_cast<LParam>(WindowSystem::handleOf(bar)));
    });
    if (id != kNoId) controls_[id] = bar;
}

void DialogWindow::barAction(DialogBar* bar, int action) {
    // The bar has already made its own step; take it back, so that only the
    // procedure moves it.
    int thumb = bar->sliderPosition();
    std::uint32_t code = 0;
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            code = kSbLineLeft;
            break;
        case QAbstractSlider::SliderSingleStepAdd:
            code = kSbLineRight;
            break;
        case QAbstractSlider::SliderPageStepSub:
            code = kSbPageLeft;
            break;
        case QAbstractSlider::SliderPageStepAdd:
            code = kSbPageRight;
            break;
        case QAbstractSlider::SliderToMinimum:
            code = kSbLeft;
            break;
        case QAbstractSlider::SliderToMaximum:
            code = kSbRight;
            break;
        case QAbstractSlider::SliderMove:
            code = kSbThumbTrack;
            break;
        default:
            return;
    }
    // While the thumb is dragged it follows the pointer, as the system's
    // bar does; every other action is taken back first.
    if (code != kSbThumbTrack) bar->setSliderPosition(bar->value());
    forward(kWmHScroll, makeWParam(code, static_cast<std::uint32_t>(thumb)),
            reinterpret_cast<LParam>(WindowSystem::handleOf(bar)));
}

void DialogWindow::addButton(int id, const QString& text, QRect area, bool isDefault) {
    auto* button = new QPushButton(text, this);
    button->setGeometry(area);
    button->setDefault(isDefault);
    QObject::connect(button, &QPushButton::clicked, this, [this, id, button] {
        forward(kWmCommand, static_cast<WParam>(id) & 0xFFFF,
                reinterpret_cast<LParam>(WindowSystem::handleOf(button)));
    });
    if (id != kNoId) controls_[id] = button;
}

void DialogWindow::addReadOnlyEdit(int id, QRect area) {
    auto* edit = new QLineEdit(this);
    edit->setGeometry(area);
    edit->setReadOnly(true);
    if (id != kNoId) controls_[id] = edit;
}

std::intptr_t DialogWindow::run(WindowSystem& system) {
    // Where the template puts it: the owner's client area's top-left corner.
    if (QWidget* owner = parentWidget()) {
        QWidget* client = owner;
        if (auto* main = dynamic_cast<MainWindow*>(owner)) client = main->client();
        move(client->mapToGlobal(QPoint(0, 0)));
    }
    system.enterModal(this);
    forward(kWmInitDialog, 0, 0);
    if (!ended_) {
        int result = exec();
        if (!ended_) result_ = result;
    }
    system.leaveModal(this);
    return result_;
}

bool DialogWindow::forward(std::uint32_t message, WParam wParam, LParam lParam) {
    return proc_ ? proc_(*this, message, wParam, lParam) : false;
}

QWidget* DialogWindow::control(int id) const {
    auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

WindowHandle DialogWindow::item(int id) {
    QWidget* widget = control(id);
    return widget ? WindowSystem::handleOf(widget) : nullptr;
}

QScrollBar* DialogWindow::barFor(WindowHandle handle) const {
    for (const auto& [id, widget] : controls_) {
        if (WindowSystem::handleOf(widget) == handle) return qobject_cast<QScrollBar*>(widget);
    }
    return nullptr;
}

void DialogWindow::setScrollRange(WindowHandle handle, int minimum, int maximum, bool) {
    if (QScrollBar* bar = barFor(handle)) bar->setRange(minimum, maximum);
}

void DialogWindow::setScrollPos(WindowHandle handle, int position, bool) {
    if (QScrollBar* bar = barFor(handle)) bar->setValue(position);
}

int DialogWindow::getScrollPos(WindowHandle handle) {
    QScrollBar* bar = barFor(handle);
    return bar ? bar->value() : 0;
}

void DialogWindow::setItemText(int id, const char* text) {
    QWidget* widget = control(id);
    QString value = fromLocal(text);
    if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(value);
    else if (auto* edit = qobject_cast<QLineEdit*>(widget))
        edit->setText(value);
    else if (auto* button = qobject_cast<QPushButton*>(widget))
        button->setText(value);
    else if (auto* box = qobject_cast<QGroupBox*>(widget))
        box->setTitle(value);
}

void DialogWindow::moveTo(int x, int y) {
    // Screen pixels, whatever the scale.
    const qreal scale = screen() ? screen()->devicePixelRatio() : 1.0;
    move(qRound(x / scale), qRound(y / scale));
}

void DialogWindow::endDialog(std::intptr_t result) {
    ended_ = true;
    result_ = result;
    if (isVisible()) done(static_cast<int>(result));
}

void DialogWindow::makeHyperlink(int id, const char* url) {
    if (auto* text = dynamic_cast<StaticText*>(control(id))) text->makeLink(url ? url : "", link_);
}

void DialogWindow::reject() {
    forward(kWmCommand, kIdCancel, 0);
}

std::unique_ptr<DialogWindow> buildDialog(const char* name, QWidget* owner, DialogProc proc,
                                          StaticText::Link link) {
    if (!name) return nullptr;
    const Control* begin = nullptr;
    const Control* end = nullptr;
    QString caption;
    QSize size;
    if (std::strcmp(name, "SET_DLG") == 0) {
        begin = std::begin(kSettingsControls);
        end = std::end(kSettingsControls);
        caption = QStringLiteral(" Stream settings");
        size = dialogUnits(0, 0, 200, 170).size();
    } else if (std::strcmp(name, "ABOUT_DLG") == 0) {
        begin = std::begin(kAboutControls);
        end = std::end(kAboutControls);
        caption = QStringLiteral(" ostrel");
        size = dialogUnits(0, 0, 200, 116).size();
    } else {
        return nullptr;
    }
    auto dialog = std::make_unique<DialogWindow>(owner, proc, caption, size, std::move(link));
    for (const Control* c = begin; c != end; ++c) {
        QRect area = dialogUnits(c->x, c->y, c->width, c->height);
        QString text = QString::fromLatin1(c->text);
        switch (c->kind) {
            case Control::GroupBox:
                dialog->addGroupBox(c->id, text, area);
                break;
            case Control::Static:
                dialog->addStatic(c->id, text, area);
                break;
            case Control::Picture:
                dialog->addPicture(c->id, text, area);
                break;
            case Control::Bar:
                dialog->addBar(c->id, area);
                break;
            case Control::Button:
                dialog->addButton(c->id, text, area, c->isDefault);
                break;
            case Control::Edit:
                dialog->addReadOnlyEdit(c->id, area);
                break;
        }
    }
    return dialog;
}

// ---------------------------------------------------------------------------
// Open-file dialog

QStringList fileDialogFilters(const char* pairs) {
    QStringList filters;
    if (!pairs) return filters;
    const char* p = pairs;
    while (*p) {
        QString description = QString::fromLocal8Bit(p);
        p += std::strlen(p) + 1;
        if (!*p) break;
        QString patterns = QString::fromLocal8Bit(p);
        p += std::strlen(p) + 1;
        QStringList globs;
        for (const QString& glob : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            // "*.*" is every file, with or without a dot.
            globs << (glob == QLatin1String("*.*") ? QStringLiteral("*") : glob.trimmed());
        }
        qsizetype bracket = description.indexOf(QLatin1String(" ("));
        QString label = bracket >= 0 ? description.left(bracket) : description;
        filters << label + QLatin1String(" (") + globs.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters;
}

std::int32_t WindowSystem::getOpenFileName(OpenFileRequest& request) {
    if (!request.file || request.maxFile == 0) return 0;
    request.file[0] = '\0';
    QWidget* owner = widgetFor(request.owner);
    QFileDialog dialog(owner);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    QStringList filters = fileDialogFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        qsizetype index = request.filterIndex > 0 ? request.filterIndex - 1 : 0;
        if (index < filters.size()) dialog.selectNameFilter(filters.at(index));
    }
    enterModal(&dialog);
    int accepted = dialog.exec();
    leaveModal(&dialog);
    if (accepted != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return 0;
    QByteArray path = QFile::encodeName(dialog.selectedFiles().constFirst());
    // A path the buffer cannot hold whole is no choice at all.
    if (path.isEmpty() || static_cast<std::uint32_t>(path.size()) + 1 > request.maxFile) return 0;
    std::memcpy(request.file, path.constData(), static_cast<std::size_t>(path.size()) + 1);
    return 1;
}

// ---------------------------------------------------------------------------
// The window system's dialog calls

std::intptr_t WindowSystem::dialogBox(InstanceHandle, const char* name, WindowHandle owner,
                                      DialogProc proc) {
    constexpr std::intptr_t kDialogFailed = -1;
    StaticText::Link link;
    link.offline = [this] { return offline && offline(); };
    link.open = [this](const std::string& url) {
        if (openUrl) openUrl(url.c_str());
    };
    std::unique_ptr<DialogWindow> dialog = buildDialog(name, widgetFor(owner), proc, link);
    if (!dialog) return kDialogFailed;
    return dialog->run(*this);
}

void WindowSystem::messageBox(WindowHandle owner, const char* text, const char* caption,
                              std::uint32_t) {
    QMessageBox box(QMessageBox::Warning, QString::fromLocal8Bit(caption ? caption : ""),
                    QString::fromLocal8Bit(text ? text : ""), QMessageBox::Ok, widgetFor(owner));
    enterModal(&box);
    box.exec();
    leaveModal(&box);
}

}  // namespace ostrel::platform::qt
