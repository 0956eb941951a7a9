// The tool bar: a row of the bitmap strip's glyphs over the top of the
// client area, each button a command.
#include "platform/qt/QtToolBar.h"

#include <QAction>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QToolBar>

#include "platform/qt/QtWindowSystem.h"

namespace ostrel::platform::qt {

QToolBar* buildToolBar(ClientArea* client, const ToolBarParams& params,
                       std::function<void(int command, QToolBar* toolBar)> chosen) {
    QImage strip(QStringLiteral(":/bitmaps/toolbar.bmp"));
    if (strip.isNull()) return nullptr;
    strip = strip.convertToFormat(QImage::Format_ARGB32);
    // The strip's light grey is the button face: let the bar's own show.
    const QRgb face = qRgb(192, 192, 192);
    for (int y = 0; y < strip.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(strip.scanLine(y));
        for (int x = 0; x < strip.width(); ++x) {
            if ((line[x] | 0xFF000000u) == face) line[x] = 0;
        }
    }

    auto* toolBar = new QToolBar(client);
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    toolBar->setIconSize(QSize(params.imageWidth, params.imageHeight));
    toolBar->setAutoFillBackground(true);
    toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    for (int i = 0; i < params.buttonCount; ++i) {
        const ToolButton& button = params.buttons[i];
        if (button.style & kTbStyleSep) {
            // A separator is a gap; its image field holds its width (0: the
            // usual 8 pixels).
            auto* gap = new QWidget(toolBar);
            gap->setFixedWidth(button.image > 0 ? button.image : 8);
            toolBar->addWidget(gap);
            continue;
        }
        if (button.image < 0 || button.image >= params.imageCount) continue;
        QImage glyph =
            strip.copy(button.image * params.imageWidth, 0, params.imageWidth, params.imageHeight);
        QAction* action = toolBar->addAction(QIcon(QPixmap::fromImage(glyph)), QString());
        action->setEnabled((button.state & kTbStateEnabled) != 0);
        int command = button.command;
        QObject::connect(action, &QAction::triggered, toolBar,
                         [chosen, command, toolBar] { chosen(command, toolBar); });
    }
    client->addToolBar(toolBar);
    return toolBar;
}

WindowHandle WindowSystem::createToolBar(const ToolBarParams& params) {
    auto* main = dynamic_cast<MainWindow*>(widgetFor(params.parent));
    if (!main || !params.buttons || params.buttonCount <= 0 || params.imageWidth <= 0 ||
        params.imageHeight <= 0) {
        return nullptr;
    }
    QToolBar* toolBar = buildToolBar(main->client(), params, [this](int command, QToolBar* source) {
        commandChosen(command, handleOf(source));
    });
    return toolBar ? handleOf(toolBar) : nullptr;
}

}  // namespace ostrel::platform::qt
