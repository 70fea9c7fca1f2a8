// The host component on its own: which events each mode raises, what Loaded does with the
// panel, the message style, the properties that switch window changes off, and what
// destruction undoes.
#include "UiTest.h"
#include "host/ScreenSaver.h"
#include "platform/Application.h"
#include "platform/Cursor.h"
#include "show/Panel.h"

namespace pictorelle::test {
namespace {

class ScreenSaverHost : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        if (IsSkipped()) return;
        ownerWidget = std::make_unique<QWidget>();
        panel = new TPanel(QStringLiteral("CfgBox"), ownerWidget.get());
        nested = new TPanel(QStringLiteral("Nested"), panel);
        other = new TPanel(QStringLiteral("Other"), ownerWidget.get());
    }
    void TearDown() override {
        ownerWidget.reset();
        UiTest::TearDown();
    }

    std::unique_ptr<TScreenSaver> Make(std::vector<std::string> args) {
        auto host = std::make_unique<TScreenSaver>(*ownerWidget, std::move(args));
        auto record = [this](const char* name) {
            return [this, name](TScreenSaver&) { events.emplace_back(name); };
        };
        host->OnBeforePreviewActive = record("BeforePreview");
        host->OnPreviewActive = record("Preview");
        host->OnBeforeMainSaverActive = record("BeforeMainSaver");
        host->OnMainSaverActive = record("MainSaver");
        host->OnBeforeConfigBoxActive = record("BeforeConfigBox");
        host->OnConfigBoxActive = record("ConfigBox");
        host->OnBeforePasswordSet = record("BeforePasswordSet");
        host->OnPasswordSet = record("PasswordSet");
        return host;
    }

    std::unique_ptr<QWidget> ownerWidget; // made once the application exists
    TPanel* panel = nullptr;
    TPanel* nested = nullptr;
    TPanel* other = nullptr;
    std::vector<std::string> events;
};

TEST_F(ScreenSaverHost, EachModeRaisesItsEventPair) {
    using Events = std::vector<std::string>;
    const std::pair<std::vector<std::string>, Events> cases[] = {
        {{"/s"}, {"BeforeMainSaver", "MainSaver"}},
        {{"/p:1234"}, {"BeforePreview", "Preview"}},
        {{"-A", "5"}, {"BeforePasswordSet", "PasswordSet"}},
        {{"/c"}, {"BeforeConfigBox", "ConfigBox"}},
        {{}, {"BeforeConfigBox", "ConfigBox"}},
    };
    for (const auto& [args, expected] : cases) {
        events.clear();
        auto host = Make(args);
        host->ConfigurationBoxStyle = TConfigBoxStyle::cbsPanel;
        host->ConfigurationBoxPanel = panel;
        host->RunByCommandLine();
        EXPECT_EQ(events, expected) << (args.empty() ? "no argument" : args[0]);
    }
    // Only the password mode ends the program.
    EXPECT_TRUE(ApplicationEndRequested());
    EXPECT_EQ(ApplicationEndStatus(), 0);
}

TEST_F(ScreenSaverHost, LoadedHidesThePanelAndStartsTheModeWhenEnabled) {
    auto host = Make({"/c"});
    host->ConfigurationBoxStyle = TConfigBoxStyle::cbsPanel;
    host->ConfigurationBoxPanel = panel;
    host->Loaded(); // AutoEnable is on by default
    EXPECT_EQ(events, (std::vector<std::string>{"BeforeConfigBox", "ConfigBox"}));
    // The options panel is shown at the top left; every other panel is hidden, its own too.
    EXPECT_TRUE(panel->isVisibleTo(ownerWidget.get()));
    EXPECT_EQ(panel->pos(), QPoint(0, 0));
    EXPECT_FALSE(other->isVisibleTo(ownerWidget.get()));
    EXPECT_FALSE(nested->isVisibleTo(ownerWidget.get()));
    EXPECT_EQ(ownerWidget->maximumSize(), panel->size());

    events.clear();
    auto quiet = Make({"/s"});
    quiet->AutoEnable = false;
    quiet->ConfigurationBoxPanel = panel;
    panel->show();
    quiet->Loaded();
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(panel->isVisibleTo(ownerWidget.get()));
}

TEST_F(ScreenSaverHost, WithoutItsPanelTheOptionsModeOnlyShowsAMessage) {
    QWidget stranger;
    auto host = Make({"/c"});
    host->AutoEnable = false;
    host->ConfigurationBoxStyle = TConfigBoxStyle::cbsPanel;
    host->ConfigurationBoxPanel = &stranger; // not one of the owner's panels
    host->ConfigurationBoxMessage = QStringLiteral("Nothing to set.");
    host->Loaded();
    EXPECT_EQ(host->ConfigurationBoxStyle, TConfigBoxStyle::cbsMessageDlg);
    EXPECT_EQ(host->ConfigurationBoxPanel, nullptr);

    host->RunByCommandLine();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QStringLiteral("Nothing to set."));
    EXPECT_EQ(messages[0].icon, QMessageBox::Information);
    // The event comes once inside the message style and once after it.
    EXPECT_EQ(events, (std::vector<std::string>{"BeforeConfigBox", "ConfigBox", "ConfigBox"}));
    EXPECT_TRUE(ApplicationEndRequested());
    EXPECT_LT(ownerWidget->x() + ownerWidget->width(), 0); // moved out of sight
}

TEST_F(ScreenSaverHost, MainSaverChangesOnlyWhatItsPropertiesAllow) {
    const int cursor = CursorShowCount();
    {
        auto host = Make({"/s"});
        host->MainScreenSaver = false;
        host->RunByCommandLine();
        EXPECT_FALSE(ownerWidget->windowFlags() & Qt::X11BypassWindowManagerHint);
        EXPECT_FALSE(ownerWidget->windowFlags() & Qt::FramelessWindowHint);
        EXPECT_EQ(CursorShowCount(), cursor);
        // A second screen saver is refused whatever the window settings.
        EXPECT_TRUE(host->OwnerHooked());
    }
    {
        auto host = Make({"/s"});
        host->AutoMaximize = false;
        host->AutoOnTop = false;
        host->RunByCommandLine();
        EXPECT_TRUE(ownerWidget->windowFlags() & Qt::FramelessWindowHint);
        EXPECT_FALSE(ownerWidget->windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_FALSE(ownerWidget->windowFlags() & Qt::X11BypassWindowManagerHint);
        EXPECT_EQ(CursorShowCount(), cursor - 1);
    }
    EXPECT_EQ(CursorShowCount(), cursor); // destruction shows the pointer again
}

TEST_F(ScreenSaverHost, PasswordCheckShowsThePointerOnceAndAlwaysAllows) {
    const int cursor = CursorShowCount();
    auto host = Make({"/s"});
    host->RunByCommandLine();
    EXPECT_EQ(CursorShowCount(), cursor - 1);
    EXPECT_TRUE(host->VerifyPassword());
    EXPECT_EQ(CursorShowCount(), cursor);
    EXPECT_TRUE(host->VerifyPassword());
    host.reset();
    EXPECT_EQ(CursorShowCount(), cursor);

    auto options = Make({"/c"});
    EXPECT_TRUE(options->VerifyPassword());
    EXPECT_FALSE(options->OwnerHooked());
}

} // namespace
} // namespace pictorelle::test
