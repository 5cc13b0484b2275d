#include "shell/MyAppDelegate.h"

#include "document/CategoryBadges.h"
#include "document/MyDocument.h"
#include "update/QvPhoneHome.h"
#include "platform/Defaults.h"
#include "platform/DocumentController.h"
#include "platform/FontFamilies.h"
#include "platform/BuildConfig.h"
#include "platform/ValueTransformer.h"
#include "toolkit/QvAppSupportUtility.h"
#include "toolkit/QvDictToColorTransformer.h"
#include "toolkit/QvValueTransformers.h"

#include <QFontInfo>
#include <QGuiApplication>

#include <algorithm>
#include <chrono>
#include <limits>
#include <mutex>

namespace {
const QString kTableFontFamily = QStringLiteral("tableFontFamily");
} // namespace

MyAppDelegate::MyAppDelegate(QObject* parent) : QvAppDelegateBase(parent)
{
    initialize();
    ValueTransformer::setValueTransformer(std::make_shared<const QvValueIsEqualToStr>(QStringLiteral("Open Selected Document")),
                                          QStringLiteral("valueIsOpSelDoc"));
    ValueTransformer::setValueTransformer(std::make_shared<const QvValueIsEqualToRef>(3), QStringLiteral("valueIs3"));
    ValueTransformer::setValueTransformer(std::make_shared<const QvHeightForFontSize>(), QStringLiteral("heightAmplifier"));
    ValueTransformer::setValueTransformer(std::make_shared<const QvDictToNSColor>(), QStringLiteral("dictToNSColor"));

    m_active = QGuiApplication::applicationState() == Qt::ApplicationActive;
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, &MyAppDelegate::applicationStateChanged);
    connect(&Defaults::standardUserDefaults(), &Defaults::valueChangedForKey, this, [this](const QString& key) {
        if (key == kTableFontFamily)
            selectTableFontFamily();
    });
}

MyAppDelegate::~MyAppDelegate()
{
    if (m_lockTimer)
        m_lockTimer->invalidate();
}

DictionaryRef MyAppDelegate::registeredDefaultValues()
{
    return Dictionary::create({
        {QStringLiteral("notifyUpdate"), Value::boolean(true)},
        {QStringLiteral("StartupActionTag"), Value::int32(0)},
        {QStringLiteral("StartupSelectedDoc"), Value::string(QString())},
        {QStringLiteral("lastVersionUsedToUpdatePref"), Value::int32(0)},
        {QStringLiteral("tableFontFamily"), Value::string(QStringLiteral("Lucida Grande"))},
        {QStringLiteral("tableFontSize"), Value::real(12.0f)},
        {QStringLiteral("tableFontBold"), Value::boolean(false)},
        {QStringLiteral("tableFontItalic"), Value::boolean(false)},
        {QStringLiteral("autolocBackgroundEnabled"), Value::boolean(false)},
        {QStringLiteral("autolocBackgroundInterval"), Value::int32(120)},
    });
}

void MyAppDelegate::initialize()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // The interface files also name transformers by class.
        registerQvValueTransformerClasses();
        registerQvDictToNSColorClass();
        Defaults::standardUserDefaults().registerDefaults(registeredDefaultValues());
        configureUpdateChecker();
    });
}

QStringList MyAppDelegate::updateFeedAddresses()
{
    QStringList addresses;
    for (const char* host : {CALVORIN_FEED_HOST_1, CALVORIN_FEED_HOST_2, CALVORIN_FEED_HOST_3, CALVORIN_FEED_HOST_4})
        addresses << QStringLiteral("http://%1/mac/calvorin.plist").arg(QString::fromUtf8(host));
    return addresses;
}

void MyAppDelegate::configureUpdateChecker()
{
    QvPhoneHome* checker = QvPhoneHome::sharedPhoneHome();
    if (!checker)
        return;
    const QStringList feed = updateFeedAddresses();
    checker->SetValueAppRelease(QvAppSupportUtility::kReleaseNumber, QStringLiteral("Calvorin"), feed.at(0), feed.at(1),
                                feed.at(2), feed.at(3));
}

// Launching

void MyAppDelegate::applicationWillFinishLaunching()
{
    adjustBeforeFinishingLaunching();
    buildUpFontMenuAndBindProgrammatically();
}

void MyAppDelegate::buildUpFontMenuAndBindProgrammatically()
{
    QComboBox* popup = m_fontPopup;
    if (!popup)
        return;
    QStringList families = FontFamilies::available();
    std::sort(families.begin(), families.end());
    families.erase(std::unique(families.begin(), families.end()), families.end());
    const QSignalBlocker quiet(popup);
    for (const QString& family : std::as_const(families))
        if (popup->findText(family, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0)
            popup->addItem(family);
    selectTableFontFamily();
    // Only the user's choice is written: a family that is not installed stays as it is.
    disconnect(m_fontChoice);
    m_fontChoice = connect(popup, &QComboBox::activated, this, [this](int index) {
        if (m_fontPopup && index >= 0)
            Defaults::standardUserDefaults().setObject(Value::string(m_fontPopup->itemText(index)), kTableFontFamily);
    });
}

void MyAppDelegate::selectTableFontFamily()
{
    if (!m_fontPopup)
        return;
    const QSignalBlocker quiet(m_fontPopup);
    const QString family = Defaults::standardUserDefaults().stringForKey(kTableFontFamily);
    int index = m_fontPopup->findText(family, Qt::MatchExactly | Qt::MatchCaseSensitive);
    // A family that is not installed leaves the contact list in another one; the pop-up
    // shows that one rather than nothing, and the setting stays until the user picks.
    if (index < 0)
        index = m_fontPopup->findText(QFontInfo(CategoryBadges::tableFont()).family(),
                                      Qt::MatchExactly | Qt::MatchCaseSensitive);
    m_fontPopup->setCurrentIndex(index);
}

void MyAppDelegate::applicationDidFinishLaunching()
{
    executeDocumentStartupAsInPref();
    if (QvPhoneHome* checker = QvPhoneHome::sharedPhoneHome())
        checker->startupProcedure();
    setFinishedLaunching(true);
}

// The automatic lock

void MyAppDelegate::applicationStateChanged(Qt::ApplicationState state)
{
    const bool active = state == Qt::ApplicationActive;
    if (active == m_active)
        return;
    m_active = active;
    if (active)
        applicationDidBecomeActive();
    else
        applicationDidResignActive();
}

qint64 MyAppDelegate::automaticLockIntervalSetting()
{
    const Value value = Defaults::standardUserDefaults().objectForKey(QStringLiteral("autolocBackgroundInterval"));
    constexpr qint64 most = std::numeric_limits<qint64>::max();
    switch (value.kind()) {
    case Value::Kind::UInt64:
        return value.unsignedLongLongValue() > quint64(most) ? most : qint64(value.unsignedLongLongValue());
    case Value::Kind::Real: {
        const double seconds = value.doubleValue();
        if (seconds >= 9.2e18)
            return most;
        return seconds <= -9.2e18 ? std::numeric_limits<qint64>::min() : qint64(seconds);
    }
    default:
        return value.longLongValue();
    }
}

void MyAppDelegate::applicationDidResignActive()
{
    if (Defaults::standardUserDefaults().boolForKey(QStringLiteral("autolocBackgroundEnabled")))
        setAutomaticLockWithTimeInterval(automaticLockIntervalSetting());
}

void MyAppDelegate::applicationDidBecomeActive()
{
    setAutomaticLockWithTimeInterval(0);
}

void MyAppDelegate::setAutomaticLockWithTimeInterval(qint64 seconds)
{
    if (m_lockTimer)
        m_lockTimer->invalidate();
    if (seconds < 1) {
        m_lockTimer.reset();
        return;
    }
    using Milliseconds = Timer::Interval::rep;
    constexpr qint64 longest = std::numeric_limits<Milliseconds>::max() / 1000;
    const Timer::Interval delay(std::clamp(seconds, kMinimumLockDelaySeconds, longest) * 1000);
    QPointer<MyAppDelegate> guard(this);
    m_lockTimer = Timer::scheduledTimer(delay, [guard] {
        if (guard)
            guard->AutomaticLockAllOpenedDocuments();
    });
}

void MyAppDelegate::AutomaticLockAllOpenedDocuments()
{
    DocumentController* documents = DocumentController::sharedDocumentController();
    if (!documents)
        return;
    for (Document* document : documents->documents())
        if (auto* contacts = dynamic_cast<MyDocument*>(document))
            contacts->lockAutomatically();
}
