// The two dialogs on Qt with the player's own dialog procedures behind them:
// what the bars, keys, buttons and the link hand to the procedure, that the
// bars move only where it puts them, and how a dialog runs and ends.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/media/AudioOutput.h"
#include "resource_ids.h"
#include "state/PlayerState.h"
#include "ui/Dialogs.h"

namespace ostrel::platform::qt {
namespace {

// What reached the settings procedure: scroll codes and thumbs, commands.
struct Got {
    std::uint32_t message, code, thumb;
    LParam bar = 0;
    bool operator==(const Got&) const = default;
};
std::vector<Got> got;
bool recordingProc(DialogView& dialog, std::uint32_t message, WParam wParam, LParam lParam) {
    if (message == kWmHScroll || message == kWmCommand)
        got.push_back({message, static_cast<std::uint32_t>(wParam & 0xFFFF),
                       static_cast<std::uint32_t>(wParam >> 16 & 0xFFFF),
                       message == kWmHScroll ? lParam : 0});
    return settingsDialogProc(dialog, message, wParam, lParam);
}

class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override { installPlatform(platform.seam()); }
    void TearDown() override { installPlatform({}); }

    std::unique_ptr<DialogWindow> settings() {
        got.clear();
        state.trackPos = 0;
        state.volumePos = 1250;
        state.volumeLevel = 1;
        state.currentItem = 1;
        state.itemCount = 3;
        state.soundOn = 0;
        // The wave output is opened with the format the volume probe fills in.
        state.probeFormat = WaveFormat{kWaveFormatPcm, 2, 44100, 88200, 2, 8, 0};
        media::setOutputVolume(0xFFFFFFFFu);
        auto dialog = buildDialog("SET_DLG", nullptr, &recordingProc, {});
        dialog->forward(kWmInitDialog, 0, 0);
        dialog->show();
        return dialog;
    }
    QtPlatform platform;
};

template <typename T = QScrollBar>
T* control(DialogWindow& dialog, int id) {
    return qobject_cast<T*>(dialog.control(id));
}

TEST_F(DialogsTest, ControlsHandTheirActionsToTheProcedureWhichAloneMovesTheBars) {
    using Act = std::function<void(DialogWindow&)>;
    auto key = [](Qt::Key k, int id = 0) -> Act {
        return [=](DialogWindow& d) { QTest::keyClick(id ? d.control(id) : &d, k); };
    };
    Act wheel = [](DialogWindow& d) {
        QWheelEvent turn(QPointF(10, 5), QPointF(), QPoint(), QPoint(0, -120), Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(control(d, IDC_VOLUME_BAR), &turn);
    };
    Act drag = [](DialogWindow& d) {
        media::setOutputVolume(0x12341234u);
        QScrollBar* volume = control(d, IDC_VOLUME_BAR);
        volume->setSliderDown(true);
        volume->setSliderPosition(7000);
        volume->setSliderPosition(10000);
        volume->setSliderDown(false);
    };
    const std::uint32_t kScroll = kWmHScroll, kCommand = kWmCommand;
    const struct {
        const char* name;
        Act act;
        std::vector<Got> expected;
        int bar, value;            // where the bar stands afterwards
        std::uint32_t volume = 0;  // the real output's volume afterwards, when not 0
        const char* item = " 2";
    } rows[] = {
        // clang-format off
        {"arrow key", key(Qt::Key_Right, IDC_VOLUME_BAR), {{kScroll, kSbLineRight, 1260}},
         IDC_VOLUME_BAR, 1260},
        {"page right", key(Qt::Key_PageUp, IDC_POSITION_BAR), {{kScroll, kSbPageRight, 1000}},
         IDC_POSITION_BAR, 0},
        {"page left", key(Qt::Key_PageDown, IDC_VOLUME_BAR), {{kScroll, kSbPageLeft, 250}},
         IDC_VOLUME_BAR, 1250},
        {"wheel", wheel, {}, IDC_VOLUME_BAR, 1250},
        {"drag and let go", drag, {{kScroll, kSbThumbTrack, 7000}, {kScroll, kSbThumbTrack, 10000},
         {kScroll, kSbThumbPosition, 10000}}, IDC_VOLUME_BAR, 10000, 0xFFFFFFFFu},
        {"next item", [](DialogWindow& d) { QTest::mouseClick(d.control(IDC_ITEM_NEXT), Qt::LeftButton); },
         {{kCommand, IDC_ITEM_NEXT, 0}}, IDC_VOLUME_BAR, 1250, 0, " 3"},
        {"Escape", key(Qt::Key_Escape), {{kCommand, 2, 0}}, IDC_VOLUME_BAR, 1250},
        {"close box", [](DialogWindow& d) { d.close(); }, {{kCommand, 2, 0}}, IDC_VOLUME_BAR, 1250},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto dialog = settings();
        row.act(*dialog);
        std::vector<Got> expected = row.expected;
        for (Got& g : expected)
            g.bar = g.message == kScroll ? reinterpret_cast<LParam>(dialog->item(row.bar)) : 0;
        EXPECT_EQ(got, expected);
        QScrollBar* bar = control(*dialog, row.bar);
        EXPECT_EQ(std::pair(bar->value(), bar->sliderPosition()), std::pair(row.value, row.value));
        EXPECT_TRUE(!row.volume || media::outputVolume() == row.volume);
        auto* item = control<QLineEdit>(*dialog, IDC_ITEM_NUMBER);  // the player's to write
        EXPECT_TRUE(item->text() == row.item && item->isReadOnly()) << item->text().toStdString();
        EXPECT_TRUE(dialog->isVisible());
    }
}

TEST_F(DialogsTest, AboutDialogsLinkOpensOnlyOnlineAndAPostedQuitEndsTheDialog) {
    EXPECT_EQ(buildDialog("NO_DLG", nullptr, &settingsDialogProc, {}), nullptr);
    bool offline = false;
    std::vector<std::string> opened;
    StaticText::Link link{[&] { return offline; },
                          [&](const std::string& url) { opened.push_back(url); }};
    auto dialog = buildDialog("ABOUT_DLG", nullptr, &aboutDialogProc, link);
    ASSERT_NE(dialog, nullptr);
    dialog->forward(kWmInitDialog, 0, 0);
    dialog->show();
    auto* text = dynamic_cast<StaticText*>(dialog->control(IDC_LINK));
    ASSERT_TRUE(text && text->isLink());
    EXPECT_EQ(text->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(text, Qt::LeftButton);
    offline = true;
    QTest::mouseClick(text, Qt::LeftButton);
    EXPECT_EQ(opened, std::vector<std::string>{kMakerUrl});
    // A quit posted meanwhile ends the dialog and stays for the player's loop.
    QTimer::singleShot(50, [&] { platform.windows().postQuitMessage(0); });
    EXPECT_EQ(dialog->run(platform.windows()), 0);
    Message message;
    EXPECT_EQ(platform.windows().getMessage(message), 0);
}

TEST(FileDialogFilters, PairsBecomeQtFilters) {
    const char pairs[] =
        "Media files (*.avi;*.mpg;*.dat;*.wav)\0*.avi;*.mpg;*.dat;*.wav\0All Files (*.*)\0*.*\0";
    EXPECT_EQ(fileDialogFilters(pairs),
              QStringList({"Media files (*.avi *.mpg *.dat *.wav)", "All Files (*)"}));
    EXPECT_TRUE(fileDialogFilters(nullptr).isEmpty());
}

}  // namespace
}  // namespace ostrel::platform::qt
