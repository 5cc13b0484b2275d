// The delegate's launch part: registered defaults, named transformers, the
// untitled-document answer, the application's commands and the font menu.
#include "shell_fixture.h"

#include "platform/BuildConfig.h"
#include "platform/DocumentWindow.h"
#include "platform/ValueTransformer.h"
#include "toolkit/QvAppSupportUtility.h"
#include "toolkit/QvDictToColorTransformer.h"
#include "toolkit/QvValueTransformers.h"

#include <QAction>
#include <QFontInfo>
#include <QMenu>
#include <QTableView>

namespace {

class DelegateTest : public ShellTest {
protected:
    DocumentWindow* documentWindow()
    {
        Document* document = controller.openUntitledDocumentAndDisplay(true, nullptr);
        return document ? document->window() : nullptr;
    }
    static QStringList commandNames(QMenu* menu)
    {
        QStringList names;
        for (QAction* action : menu->actions())
            names << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
        return names;
    }
    QComboBox* fontPopup() const { return shell->preferencesWindow().findChild<QComboBox*>(QStringLiteral("myFontPopup")); }
    QStringList fontItems() const
    {
        QStringList items;
        QComboBox* popup = fontPopup();
        for (int i = 0; i < popup->count(); ++i)
            items << popup->itemText(i);
        return items;
    }
};

TEST_F(DelegateTest, RegistersExactlyTheTenDefaultsInOrderAndOfTheirKinds)
{
    using K = Value::Kind;
    const struct {
        const char* key;
        K kind;
        Value value;
    } expected[] = {
        {"notifyUpdate", K::Bool, Value::boolean(true)},
        {"StartupActionTag", K::Int32, Value::int32(0)},
        {"StartupSelectedDoc", K::String, Value::string(QString())},
        {"lastVersionUsedToUpdatePref", K::Int32, Value::int32(0)},
        {"tableFontFamily", K::String, Value::string(QStringLiteral("Lucida Grande"))},
        {"tableFontSize", K::Real, Value::real(12.0)},
        {"tableFontBold", K::Bool, Value::boolean(false)},
        {"tableFontItalic", K::Bool, Value::boolean(false)},
        {"autolocBackgroundEnabled", K::Bool, Value::boolean(false)},
        {"autolocBackgroundInterval", K::Int32, Value::int32(120)},
    };
    const DictionaryRef registered = Defaults::standardUserDefaults().registeredDefaults();
    ASSERT_EQ(registered->count(), qsizetype(std::size(expected)));
    qsizetype i = 0;
    for (const auto& [key, value] : *registered) {
        SCOPED_TRACE(key.toStdString());
        EXPECT_EQ(key, QLatin1String(expected[i].key));
        EXPECT_EQ(value.kind(), expected[i].kind);
        EXPECT_TRUE(value.isEqual(expected[i].value));
        ++i;
    }
    for (const char* later : {"StartupSelectedDocBookmark", "lastCheckDateForUpdate"})
        EXPECT_TRUE(registered->objectForKey(QLatin1String(later)).isNull()) << later << " is written, never registered";
    EXPECT_EQ(MyAppDelegate::updateFeedAddresses(),
              (QStringList{QStringLiteral("http://" CALVORIN_FEED_HOST_1 "/mac/calvorin.plist"),
                           QStringLiteral("http://" CALVORIN_FEED_HOST_2 "/mac/calvorin.plist"),
                           QStringLiteral("http://" CALVORIN_FEED_HOST_3 "/mac/calvorin.plist"),
                           QStringLiteral("http://" CALVORIN_FEED_HOST_4 "/mac/calvorin.plist")}));
    QvPhoneHome* checker = QvPhoneHome::sharedPhoneHome();
    MyAppDelegate::configureUpdateChecker();
    EXPECT_EQ(checker->myAppRelease(), 30602);
    EXPECT_EQ(checker->myAppName(), QStringLiteral("Calvorin"));
    EXPECT_EQ((QStringList{checker->myPlistUrl1(), checker->myPlistUrl2(), checker->myPlistUrl3(), checker->myPlistUrl4()}),
              MyAppDelegate::updateFeedAddresses());
    const QString refused = closedLoopbackFeed();
    checker->SetValueAppRelease(30602, QStringLiteral("Calvorin"), refused, refused, refused, refused);

    EXPECT_EQ(delegate().appName(), QStringLiteral("Calvorin"));
    EXPECT_EQ(delegate().vendorName(), QStringLiteral("Korvane Software - Zundel"));
    EXPECT_EQ(delegate().releaseString(), QStringLiteral("3.6.2"));
}

TEST_F(DelegateTest, RegistersTheFiveNamedTransformers)
{
    const DictionaryRef red = Dictionary::create({{QStringLiteral("r"), Value::real(1)}, {QStringLiteral("g"), Value::real(0)},
                                                  {QStringLiteral("b"), Value::real(0)}, {QStringLiteral("a"), Value::real(1)}});
    const struct {
        const char* name;
        Value input;
        Value output;
    } cases[] = {
        {"valueNot0", Value::int32(0), Value::boolean(false)},
        {"valueNot0", Value::int32(7), Value::boolean(true)},
        {"valueIsOpSelDoc", Value::string(QStringLiteral("Open Selected Document")), Value::boolean(true)},
        {"valueIsOpSelDoc", Value::string(QStringLiteral("Open selected document")), Value::boolean(false)},
        {"valueIs3", Value::int32(3), Value::boolean(true)},
        {"valueIs3", Value::int32(2), Value::boolean(false)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ValueTransformerRef transformer = ValueTransformer::valueTransformerForName(QLatin1String(c.name));
        ASSERT_TRUE(transformer);
        EXPECT_TRUE(transformer->transformedValue(c.input).isEqual(c.output));
    }
    EXPECT_TRUE(dynamic_cast<const QvHeightForFontSize*>(
        ValueTransformer::valueTransformerForName(QStringLiteral("heightAmplifier")).get()));
    const ValueTransformerRef color = ValueTransformer::valueTransformerForName(QStringLiteral("dictToNSColor"));
    ASSERT_TRUE(dynamic_cast<const QvDictToNSColor*>(color.get()));
    EXPECT_TRUE(color->transformedValue(Value(red)).isColor());
}

TEST_F(DelegateTest, OpensAnUntitledDocumentOnlyForStartupActionZero)
{
    const struct {
        const char* what;
        Value tag;
        bool untitled;
    } cases[] = {
        {"0", Value::int32(0), true},
        {"1", Value::int32(1), false},
        {"2", Value::int32(2), false},
        {"3", Value::int32(3), false},
        {"absent: the registered 0", Value(), true},
        {"text of a number", Value::string(QStringLiteral("2")), false},
        {"text", Value::string(QStringLiteral("none")), true},
        // A value that names no action opens a document, so that the preferences stay in reach.
        {"-1", Value::int32(-1), true},
        {"7", Value::int32(7), true},
        {"low bits of 3", Value::int64(4294967299), true},
        {"twenty digits", Value::string(QStringLiteral("12345678901234567890")), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Defaults::standardUserDefaults().setObject(c.tag, QStringLiteral("StartupActionTag"));
        EXPECT_EQ(delegate().applicationShouldOpenUntitledFile(), c.untitled);
    }
}

TEST_F(DelegateTest, LaunchOpensTheNamedDocumentsOrAnUntitledOneOnlyWhenAllowed)
{
    const QString file = savedDocumentFile(QStringLiteral("named.calvorin"));
    setDefault("StartupActionTag", Value::int32(2));
    shell->launch({file});
    settle();
    ASSERT_EQ(documents().size(), 1);
    EXPECT_EQ(documents().first()->fileURL().toLocalFile(), file);
    EXPECT_EQ(chooser.requests.size(), 1) << "action 2 still shows the open dialog";
    EXPECT_TRUE(delegate().finishedLaunching());

    for (Document* document : controller.documents())
        document->close();
    settle();
    setDefault("StartupActionTag", Value::int32(1));
    shell->launch({});
    settle();
    EXPECT_TRUE(documents().isEmpty()) << "no untitled document unless the action is 0";

    // A damaged action opens one at once, and the application stays.
    const int quitsBefore = quits;
    setDefault("StartupActionTag", Value::int32(7));
    shell->launch({});
    settle();
    EXPECT_EQ(documents().size(), 1);
    EXPECT_EQ(quits, quitsBefore);
}

TEST_F(DelegateTest, EveryDocumentWindowCarriesTheApplicationsCommands)
{
    delegate().applicationWillFinishLaunching();
    DocumentWindow* window = documentWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(commandNames(window->helpMenu()),
              (QStringList{"openUserGuide", "checkForLastReleaseAvailable", "-", "visitUs", "visitAppUrl", "visitTwitter",
                           "emailUs", "-", "openAbout"}));
    EXPECT_EQ(window->command(QStringLiteral("openUserGuide"))->text(), QStringLiteral("Calvorin User Guide"));
    EXPECT_EQ(window->command(QStringLiteral("openUserGuide"))->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(window->command(QStringLiteral("checkForLastReleaseAvailable"))->text(),
              QString::fromUtf8("Software Update\u2026"));
    EXPECT_EQ(window->command(QStringLiteral("openAbout"))->text(), QStringLiteral("About Calvorin"));
    EXPECT_EQ(window->editMenu()->actions().last()->objectName(), QStringLiteral("openPreferences"));
    EXPECT_EQ(window->editMenu()->actions().last()->text(), QString::fromUtf8("Preferences\u2026"));
    EXPECT_FALSE(window->editMenu()->actions().last()->shortcut().isEmpty()) << "no key opens the preferences";
    for (const char* none : {"openAppStorePage", "openAppStoreList", "appendMasHelp", "UseFrontDocumentAsStartupDoc"})
        EXPECT_FALSE(window->command(QLatin1String(none))) << none;

    const struct {
        const char* command;
        QUrl opened;
    } pages[] = {
        {"visitUs", QvAppSupportUtility::homePageUrl()},
        {"visitAppUrl", QvAppSupportUtility::productPageUrl()},
        {"visitTwitter", QvAppSupportUtility::socialPageUrl()},
        {"emailUs", QvAppSupportUtility::supportEmailUrl(QvAppSupportUtility::operatingSystemName())},
    };
    for (const auto& page : pages) {
        SCOPED_TRACE(page.command);
        opener.opened.clear();
        ASSERT_TRUE(window->perform(QLatin1String(page.command)));
        EXPECT_EQ(opener.opened, QList<QUrl>{page.opened});
    }

    ASSERT_TRUE(window->perform(QStringLiteral("openPreferences")));
    EXPECT_TRUE(preferences().isVisible());
}

TEST_F(DelegateTest, SoftwareUpdateGoesBelowTheFirstItemOrAtTheEndOfAnEmptyMenu)
{
    const struct {
        int itemsBefore;
        int expectedIndex;
    } cases[] = {{0, 0}, {1, 1}, {3, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.itemsBefore);
        QMenu menu;
        for (int i = 0; i < c.itemsBefore; ++i)
            menu.addAction(QStringLiteral("item %1").arg(i));
        QAction update(QString::fromUtf8("Software Update\u2026"));
        QvAppDelegateBase::insertMenuItem(&menu, &update, 1);
        EXPECT_EQ(menu.actions().indexOf(&update), c.expectedIndex);
        EXPECT_EQ(menu.actions().size(), c.itemsBefore + 1);
    }
}

TEST_F(DelegateTest, FontMenuListsEachFamilyOnceSortedAfterTheWindowsOwnItems)
{
    fonts.list = {QStringLiteral("zapf"), QStringLiteral("DejaVu Sans"), QStringLiteral("Zeta"), QStringLiteral("abc"),
                  QStringLiteral("DejaVu Sans"), QStringLiteral("Ábside")};
    fontPopup()->addItem(QStringLiteral("(from the window)"));
    delegate().applicationWillFinishLaunching();
    EXPECT_EQ(fontItems(), (QStringList{"(from the window)", "DejaVu Sans", "Zeta", "abc", "zapf", "Ábside"}));

    setDefault("tableFontFamily", Value::string(QStringLiteral("Zeta")));
    EXPECT_EQ(fontPopup()->currentText(), QStringLiteral("Zeta"));
    setDefault("tableFontFamily", Value::string(QStringLiteral("zeta")));
    EXPECT_NE(fontPopup()->currentText(), QStringLiteral("Zeta")) << "family names are compared exactly";

    // The user's pick is written.
    emit fontPopup()->activated(3);
    EXPECT_EQ(Defaults::standardUserDefaults().stringForKey(QStringLiteral("tableFontFamily")), QStringLiteral("abc"));
}

TEST_F(DelegateTest, AFamilyThatIsNotInstalledShowsTheOneTheContactListUses)
{
    auto* document = static_cast<MyDocument*>(controller.openUntitledDocumentAndDisplay(true, nullptr));
    ASSERT_TRUE(document && document->myTableView());
    // The registered "Lucida Grande" is not installed here.
    const QString used = QFontInfo(document->myTableView()->font()).family();
    ASSERT_NE(used, QStringLiteral("Lucida Grande"));
    fonts.list = {QStringLiteral("Aaa"), used, QStringLiteral("Zzz")};
    delegate().applicationWillFinishLaunching();
    EXPECT_EQ(fontPopup()->currentText(), used) << "not an empty box";
    EXPECT_FALSE(Defaults::standardUserDefaults().hasUserValueForKey(QStringLiteral("tableFontFamily")))
        << "showing it writes nothing";
    EXPECT_EQ(Defaults::standardUserDefaults().stringForKey(QStringLiteral("tableFontFamily")),
              QStringLiteral("Lucida Grande"));
}

} // namespace
