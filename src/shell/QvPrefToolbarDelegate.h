#pragma once
// The toolbar of a preferences window: one checkable item per panel; choosing
// one shows its tab, puts its label in the window title and resizes the
// window, animated and keeping its top edge, to the panel's height. A
// subclass names the items and their heights. Main thread only.
//
//   toolbar:itemForItemIdentifier:willBeInsertedIntoToolbar:
//                               ->  itemForItemIdentifier(identifier): a new action
//                                   (text and tool tip the label, data() the tag)
//   toolbarDefaultItemIdentifiers: / toolbarAllowedItemIdentifiers: /
//   toolbarSelectableItemIdentifiers:
//                               ->  the same names, each answering returnAllkeys()
//   ToolbarHeightForWindow:     ->  ToolbarHeightForWindow(window): the window's height
//                                   minus that of its panel area (the window system sizes
//                                   no title bar here)
//   PanelAction: / SetPanelTab: ->  PanelAction(item or null) / SetPanelTab(index)

#include <QList>
#include <QObject>
#include <QPointer>
#include <QMainWindow>
#include <QPropertyAnimation>
#include <QStringList>
#include <QTabWidget>
#include <QToolBar>

class QAction;
class QActionGroup;

class QvPrefToolbarDelegate : public QObject {
    Q_OBJECT
public:
    explicit QvPrefToolbarDelegate(QObject* parent = nullptr);
    ~QvPrefToolbarDelegate() override;

    // Outlets.
    QTabWidget* myTabView() const { return m_tabView; }
    void setMyTabView(QTabWidget* tabs) { m_tabView = tabs; }
    QMainWindow* myWindow() const { return m_window; }
    void setMyWindow(QMainWindow* window) { m_window = window; }
    QToolBar* toolbar() const { return m_toolbar; }
    QList<int> myHeightArray() const { return m_heights; }

    // Hooks.
    virtual QList<int> heightArray() const { return {}; }
    virtual QStringList returnAllkeys() const { return {}; }
    virtual QAction* itemForItemIdentifier(const QString& identifier) { return nullptr; }

    QStringList toolbarDefaultItemIdentifiers() const { return returnAllkeys(); }
    QStringList toolbarAllowedItemIdentifiers() const { return returnAllkeys(); }
    QStringList toolbarSelectableItemIdentifiers() const { return returnAllkeys(); }

    void awakeFromNib();
    void AttachToWindow();
    void toolbaritemclicked() {}
    static int ToolbarHeightForWindow(QMainWindow* window);
    void PanelAction(QAction* item);
    void SetPanelTab(int index);

    // The running resize, for whoever needs to wait for it to end.
    QPropertyAnimation* resizeAnimation() const { return m_animation; }

private:
    QList<QAction*> items() const;
    void showPanel(QAction* item, int index);
    void resizeWindowForPanel(int index);

    QPointer<QTabWidget> m_tabView;
    QPointer<QToolBar> m_toolbar;
    QPointer<QMainWindow> m_window;
    QList<int> m_heights;
    QActionGroup* m_group = nullptr;
    QPointer<QPropertyAnimation> m_animation;
    int m_width = 0; // the window's one width, taken at the first panel shown
};

// The four panels of the application's preferences.
class MyPrefToolbarDelegate : public QvPrefToolbarDelegate {
    Q_OBJECT
public:
    using QvPrefToolbarDelegate::QvPrefToolbarDelegate;

    QList<int> heightArray() const override { return {215, 160, 160, 150}; }
    QStringList returnAllkeys() const override
    {
        return {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")};
    }
    QAction* itemForItemIdentifier(const QString& identifier) override;
};
