// The player's dialogs on Qt: the open-file dialog, the message box, and the
// two modal dialogs laid out like their templates, whose
// logic stays in the player's dialog procedures. A dialog window forwards
// its controls' events to the procedure as the messages the procedure
// expects and gives it the DialogView it works through.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QScrollBar>
#include <functional>
#include <map>
#include <string>

#include "platform/WindowSystem.h"

namespace ostrel::platform::qt {

class WindowSystem;
class ClientArea;

// Dialog units of the templates' 8-point font in pixels: 6 by 13 pixels for
// every 4 by 8 units.
QRect dialogUnits(int x, int y, int width, int height);

// A static text that can become a link: blue, underlined, the hand over it,
// and a click opens its address unless the system is offline.
class StaticText final : public QLabel {
public:
    struct Link {
        std::function<bool()> offline;
        std::function<void(const std::string& url)> open;
    };
    StaticText(const QString& text, QWidget* parent);
    void makeLink(const std::string& url, Link link);
    bool isLink() const { return !url_.empty(); }
    const std::string& url() const { return url_; }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    std::string url_;
    Link link_;
};

// A scroll bar that moves only where the dialog's procedure puts it: its
// own steps are reported and then taken back.
class DialogBar final : public QScrollBar {
public:
    explicit DialogBar(QWidget* parent);

protected:
    void wheelEvent(QWheelEvent* event) override;
};

class DialogWindow final : public QDialog, public DialogView {
public:
    DialogWindow(QWidget* owner, DialogProc proc, const QString& caption, QSize clientSize,
                 StaticText::Link link);

    // Controls in template order; id -1 is a control nothing addresses.
    void addGroupBox(int id, const QString& title, QRect area);
    void addStatic(int id, const QString& text, QRect area);
    void addPicture(int id, const QString& resource, QRect area);
    void addBar(int id, QRect area);
    void addButton(int id, const QString& text, QRect area, bool isDefault);
    void addReadOnlyEdit(int id, QRect area);

    // Initialises the dialog through its procedure, runs it modally and
    // returns the result given to endDialog.
    std::intptr_t run(WindowSystem& system);

    // The view the procedure works through.
    WindowHandle item(int id) override;
    void setScrollRange(WindowHandle bar, int minimum, int maximum, bool redraw) override;
    void setScrollPos(WindowHandle bar, int position, bool redraw) override;
    int getScrollPos(WindowHandle bar) override;
    void setItemText(int id, const char* text) override;
    void moveTo(int x, int y) override;
    void endDialog(std::intptr_t result) override;
    void makeHyperlink(int id, const char* url) override;

    // Escape and the close box: the procedure hears IDCANCEL and decides.
    void reject() override;

    bool forward(std::uint32_t message, WParam wParam, LParam lParam);
    QWidget* control(int id) const;

private:
    QScrollBar* barFor(WindowHandle handle) const;
    void barAction(DialogBar* bar, int action);

    DialogProc proc_;
    StaticText::Link link_;
    std::map<int, QWidget*> controls_;
    bool ended_ = false;
    std::intptr_t result_ = 0;
};

// The dialog of template `name` ("SET_DLG", "ABOUT_DLG"), or null.
std::unique_ptr<DialogWindow> buildDialog(const char* name, QWidget* owner, DialogProc proc,
                                          StaticText::Link link);

// The Qt file dialog's filters for the platform's filter pairs
// ("Media files (*.avi;*.mpg)\0*.avi;*.mpg\0...\0\0"): "Media files (*.avi *.mpg)".
QStringList fileDialogFilters(const char* pairs);

}  // namespace ostrel::platform::qt
