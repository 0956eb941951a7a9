// The two dialogs on Qt with the player's own dialog procedures behind them:
// the layout of the templates, what the bars, buttons, Escape and the link
// hand to the procedure, and that the bars move only where it puts them.
#include <gtest/gtest.h>

#include <QAbstractSlider>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>

#include "state/PlayerState.h"
#include "state/Text.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/media/AudioOutput.h"
#include "resource_ids.h"
#include "ui/Dialogs.h"

namespace ostrel::platform::qt {
namespace {

struct Hscroll {
    std::uint32_t code;
    int thumb;
    WindowHandle bar;
};

// The settings procedure, with every scroll message it gets written down.
std::vector<Hscroll>& scrolls() {
    static std::vector<Hscroll> log;
    return log;
}
std::vector<int>& commands() {
    static std::vector<int> log;
    return log;
}
bool recordingSettingsProc(DialogView& dialog, std::uint32_t message, WParam wParam,
                           LParam lParam) {
    if (message == kWmHScroll) {
        scrolls().push_back({static_cast<std::uint32_t>(wParam & 0xFFFF),
                             static_cast<int>((wParam >> 16) & 0xFFFF),
                             reinterpret_cast<WindowHandle>(lParam)});
    }
    if (message == kWmCommand) commands().push_back(static_cast<int>(wParam & 0xFFFF));
    return settingsDialogProc(dialog, message, wParam, lParam);
}

class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        installPlatform(platform.seam());
        scrolls().clear();
        commands().clear();
        state.trackPos = 0;
        state.volumePos = 1250;
        state.volumeLevel = 1;
        state.currentItem = 1;
        state.itemCount = 3;
        state.soundOn = 0;
        // The wave output is opened with the format the volume probe fills in.
        state.probeFormat = WaveFormat{kWaveFormatPcm, 2, 44100, 88200, 2, 8, 0};
        media::setOutputVolume(0xFFFFFFFFu);
    }
    void TearDown() override { installPlatform({}); }

    std::unique_ptr<DialogWindow> settings() {
        auto dialog = buildDialog("SET_DLG", nullptr, &recordingSettingsProc, {});
        dialog->forward(kWmInitDialog, 0, 0);
        dialog->show();
        return dialog;
    }
    QScrollBar* bar(DialogWindow& dialog, int id) {
        return qobject_cast<QScrollBar*>(dialog.control(id));
    }
    QRect part(QScrollBar* bar, QStyle::SubControl which) {
        QStyleOptionSlider option;
        option.initFrom(bar);
        option.subControls = QStyle::SC_All;
        option.orientation = bar->orientation();
        option.minimum = bar->minimum();
        option.maximum = bar->maximum();
        option.sliderPosition = bar->sliderPosition();
        option.sliderValue = bar->value();
        option.singleStep = bar->singleStep();
        option.pageStep = bar->pageStep();
        option.upsideDown = bar->invertedAppearance();
        return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, which, bar);
    }

    QtPlatform platform;
};

TEST_F(DialogsTest, SettingsDialogHasTheTemplatesControlsInPixels) {
    auto dialog = buildDialog("SET_DLG", nullptr, &settingsDialogProc, {});
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral(" Stream settings"));
    EXPECT_EQ(dialog->size(), QSize(300, 276));
    ASSERT_NE(bar(*dialog, IDC_POSITION_BAR), nullptr);
    ASSERT_NE(bar(*dialog, IDC_VOLUME_BAR), nullptr);
    EXPECT_EQ(bar(*dialog, IDC_POSITION_BAR)->geometry(), dialogUnits(10, 20, 180, 10));
    EXPECT_EQ(bar(*dialog, IDC_VOLUME_BAR)->geometry(), dialogUnits(10, 65, 180, 10));
    auto* edit = qobject_cast<QLineEdit*>(dialog->control(IDC_ITEM_NUMBER));
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->isReadOnly());
    auto* previous = qobject_cast<QPushButton*>(dialog->control(IDC_ITEM_PREV));
    auto* next = qobject_cast<QPushButton*>(dialog->control(IDC_ITEM_NEXT));
    auto* ok = qobject_cast<QPushButton*>(dialog->control(1));
    ASSERT_TRUE(previous && next && ok);
    EXPECT_EQ(previous->text(), QStringLiteral("&<"));
    EXPECT_EQ(next->text(), QStringLiteral("&>"));
    EXPECT_EQ(ok->text(), QStringLiteral("&OK"));
    EXPECT_EQ(ok->geometry(), dialogUnits(145, 145, 50, 14));
    EXPECT_EQ(dialog->findChildren<QGroupBox*>().size(), 3);
    // Controls that nothing addresses have no handle.
    EXPECT_EQ(dialog->item(-1), nullptr);
    EXPECT_EQ(buildDialog("NO_DLG", nullptr, &settingsDialogProc, {}), nullptr);
}

TEST_F(DialogsTest, InitialisationSetsTheBarsAndTheItemNumber) {
    state.trackPos = 4321;
    auto dialog = settings();
    EXPECT_EQ(bar(*dialog, IDC_POSITION_BAR)->maximum(), 10000);
    EXPECT_EQ(bar(*dialog, IDC_POSITION_BAR)->value(), 4321);
    EXPECT_EQ(bar(*dialog, IDC_VOLUME_BAR)->value(), 1250);
    EXPECT_EQ(qobject_cast<QLineEdit*>(dialog->control(IDC_ITEM_NUMBER))->text(),
              QStringLiteral(" 2"));
}

TEST_F(DialogsTest, ArrowClicksAndKeysAreLineStepsOfTen) {
    auto dialog = settings();
    QScrollBar* volume = bar(*dialog, IDC_VOLUME_BAR);
    QTest::mouseClick(volume, Qt::LeftButton, {},
                      part(volume, QStyle::SC_ScrollBarSubLine).center());
    ASSERT_FALSE(scrolls().empty());
    EXPECT_EQ(scrolls().front().code, kSbLineLeft);
    EXPECT_EQ(scrolls().front().bar, dialog->item(IDC_VOLUME_BAR));
    EXPECT_EQ(volume->value(), 1240);
    EXPECT_EQ(state.volumePos, 1240);
    // Below 1250 the level is 0: silence.
    EXPECT_EQ(state.volumeLevel, 0);
    EXPECT_EQ(media::outputVolume(), 0u);

    scrolls().clear();
    volume->setFocus();
    QTest::keyClick(volume, Qt::Key_Right);
    ASSERT_EQ(scrolls().size(), 1u);
    EXPECT_EQ(scrolls()[0].code, kSbLineRight);
    EXPECT_EQ(volume->value(), 1250);
    EXPECT_EQ(state.volumeLevel, 1);
}

TEST_F(DialogsTest, TroughClicksArePageStepsThatMoveNothing) {
    auto dialog = settings();
    QScrollBar* position = bar(*dialog, IDC_POSITION_BAR);
    state.trackPos = 0;
    QRect trough = part(position, QStyle::SC_ScrollBarAddPage);
    ASSERT_FALSE(trough.isEmpty());
    QTest::mouseClick(position, Qt::LeftButton, {}, trough.center());
    ASSERT_FALSE(scrolls().empty());
    EXPECT_EQ(scrolls().front().code, kSbPageRight);
    EXPECT_EQ(position->value(), 0);
    EXPECT_EQ(position->sliderPosition(), 0);
    EXPECT_EQ(state.trackPos, 0);

    QScrollBar* volume = bar(*dialog, IDC_VOLUME_BAR);
    scrolls().clear();
    QTest::mouseClick(volume, Qt::LeftButton, {},
                      part(volume, QStyle::SC_ScrollBarSubPage).center());
    ASSERT_FALSE(scrolls().empty());
    EXPECT_EQ(scrolls().front().code, kSbPageLeft);
    EXPECT_EQ(volume->value(), 1250);
    EXPECT_EQ(state.volumePos, 1250);
}

TEST_F(DialogsTest, DraggingTracksTheBarAndAppliesTheVolumeOnlyOnRelease) {
    auto dialog = settings();
    QScrollBar* volume = bar(*dialog, IDC_VOLUME_BAR);
    media::setOutputVolume(0x12341234u);
    volume->setSliderDown(true);
    volume->setSliderPosition(7000);
    volume->setSliderPosition(10000);
    ASSERT_EQ(scrolls().size(), 2u);
    EXPECT_EQ(scrolls()[0].code, kSbThumbTrack);
    EXPECT_EQ(scrolls()[0].thumb, 7000);
    EXPECT_EQ(scrolls()[1].thumb, 10000);
    EXPECT_EQ(volume->value(), 10000);
    // Nothing applied while the thumb moves.
    EXPECT_EQ(state.volumePos, 1250);
    EXPECT_EQ(media::outputVolume(), 0x12341234u);

    volume->setSliderDown(false);
    ASSERT_EQ(scrolls().size(), 3u);
    EXPECT_EQ(scrolls()[2].code, kSbThumbPosition);
    EXPECT_EQ(scrolls()[2].thumb, 10000);
    EXPECT_EQ(state.volumePos, 10000);
    EXPECT_EQ(state.volumeLevel, 8);
    EXPECT_EQ(media::outputVolume(), 0xFFFFFFFFu);
}

TEST_F(DialogsTest, TheWheelMovesNoBar) {
    auto dialog = settings();
    QScrollBar* volume = bar(*dialog, IDC_VOLUME_BAR);
    QWheelEvent wheel(QPointF(10, 5), volume->mapToGlobal(QPointF(10, 5)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(volume, &wheel);
    EXPECT_TRUE(scrolls().empty());
    EXPECT_EQ(volume->value(), 1250);
}

TEST_F(DialogsTest, ItemButtonsGoRoundTheList) {
    auto dialog = settings();
    auto* edit = qobject_cast<QLineEdit*>(dialog->control(IDC_ITEM_NUMBER));
    auto* next = qobject_cast<QPushButton*>(dialog->control(IDC_ITEM_NEXT));
    auto* previous = qobject_cast<QPushButton*>(dialog->control(IDC_ITEM_PREV));
    QTest::mouseClick(next, Qt::LeftButton);
    EXPECT_EQ(edit->text(), QStringLiteral(" 3"));
    QTest::mouseClick(next, Qt::LeftButton);
    EXPECT_EQ(edit->text(), QStringLiteral(" 1"));
    QTest::mouseClick(previous, Qt::LeftButton);
    EXPECT_EQ(edit->text(), QStringLiteral(" 3"));
    EXPECT_EQ(state.selectedItem, 3);
    EXPECT_EQ(commands(), (std::vector<int>{IDC_ITEM_NEXT, IDC_ITEM_NEXT, IDC_ITEM_PREV}));
}

TEST_F(DialogsTest, EscapeAndTheCloseBoxAskWithCancelAndTheDialogStays) {
    auto dialog = settings();
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    dialog->close();
    EXPECT_EQ(commands(), (std::vector<int>{2, 2}));
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(DialogsTest, RunEndsWithOkAndAnswersTheResult) {
    WindowSystem& windows = platform.windows();
    auto dialog = buildDialog("SET_DLG", nullptr, &recordingSettingsProc, {});
    DialogWindow* raw = dialog.get();
    QTimer::singleShot(50, raw, [raw] {
        QTest::keyClick(raw, Qt::Key_Escape);
        QTest::mouseClick(qobject_cast<QPushButton*>(raw->control(1)), Qt::LeftButton);
    });
    EXPECT_EQ(dialog->run(windows), 1);
    EXPECT_EQ(commands(), (std::vector<int>{2, 1}));
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(DialogsTest, QuitPostedDuringTheDialogEndsIt) {
    WindowSystem& windows = platform.windows();
    auto dialog = buildDialog("ABOUT_DLG", nullptr, &aboutDialogProc, {});
    QTimer::singleShot(50, [&] { windows.postQuitMessage(0); });
    EXPECT_EQ(dialog->run(windows), 0);
    Message message;
    EXPECT_EQ(windows.getMessage(message), 0);
}

TEST_F(DialogsTest, AboutDialogShowsTheVersionAndTheLink) {
    copyText(state.versionText, "2.03");
    int opened = 0;
    bool offline = false;
    std::string openedUrl;
    StaticText::Link link{[&] { return offline; },
                          [&](const std::string& url) {
                              ++opened;
                              openedUrl = url;
                          }};
    auto dialog = buildDialog("ABOUT_DLG", nullptr, &aboutDialogProc, link);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral(" ostrel"));
    EXPECT_EQ(dialog->size(), QSize(300, 188));
    dialog->forward(kWmInitDialog, 0, 0);
    dialog->show();
    auto* version = qobject_cast<QLabel*>(dialog->control(IDC_VERSION));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), QStringLiteral("2.03"));

    auto* text = dynamic_cast<StaticText*>(dialog->control(IDC_LINK));
    ASSERT_NE(text, nullptr);
    ASSERT_TRUE(text->isLink());
    EXPECT_EQ(text->text(), QString::fromLatin1(kMakerUrl));
    EXPECT_TRUE(text->font().underline());
    EXPECT_EQ(text->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(text->palette().color(QPalette::WindowText), QColor(0, 0, 255));

    QTest::mouseClick(text, Qt::LeftButton);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(openedUrl, kMakerUrl);
    offline = true;
    QTest::mouseClick(text, Qt::LeftButton);
    EXPECT_EQ(opened, 1);
    // Other texts stay plain.
    int plain = 0;
    for (StaticText* other : dialog->findChildren<StaticText*>())
        if (!other->isLink() && !other->font().underline()) ++plain;
    EXPECT_EQ(plain, 5);
}

TEST_F(DialogsTest, LinkMadeTwiceTakesTheSecondAddress) {
    int opened = 0;
    std::string openedUrl;
    StaticText::Link link{[] { return false; },
                          [&](const std::string& url) {
                              ++opened;
                              openedUrl = url;
                          }};
    auto dialog = buildDialog("ABOUT_DLG", nullptr, &aboutDialogProc, link);
    dialog->makeHyperlink(IDC_LINK, "http://first.example/");
    dialog->makeHyperlink(IDC_LINK, "http://second.example/");
    auto* text = dynamic_cast<StaticText*>(dialog->control(IDC_LINK));
    EXPECT_EQ(text->text(), QStringLiteral("http://second.example/"));
    dialog->show();
    QTest::mouseClick(text, Qt::LeftButton);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(openedUrl, "http://second.example/");
}

TEST_F(DialogsTest, MoveToPlacesTheOuterCorner) {
    auto dialog = buildDialog("ABOUT_DLG", nullptr, &aboutDialogProc, {});
    dialog->moveTo(123, 77);
    dialog->show();
    EXPECT_EQ(dialog->frameGeometry().topLeft(), QPoint(123, 77));
}

TEST(FileDialogFilters, PairsBecomeQtFilters) {
    const char pairs[] =
        "Media files (*.avi;*.mpg;*.dat;*.wav)\0*.avi;*.mpg;*.dat;*.wav\0All Files (*.*)\0*.*\0";
    QStringList filters = fileDialogFilters(pairs);
    ASSERT_EQ(filters.size(), 2);
    EXPECT_EQ(filters[0], QStringLiteral("Media files (*.avi *.mpg *.dat *.wav)"));
    EXPECT_EQ(filters[1], QStringLiteral("All Files (*)"));
    EXPECT_TRUE(fileDialogFilters(nullptr).isEmpty());
}

}  // namespace
}  // namespace ostrel::platform::qt
