#pragma once

#include <QObject>

// Flags of a component's life that its setters may look at.
enum TComponentStateFlag : unsigned
{
    csLoading = 1u << 0,
    csDestroying = 1u << 1,
};

// What every component built from a stored layout shares, whatever its Qt base
// (QObject for non-visual components, QWidget for controls and forms).
class TLayoutComponent
{
public:
    virtual ~TLayoutComponent() = default;

    unsigned ComponentState() const { return FComponentState; }
    bool IsLoading() const { return (FComponentState & csLoading) != 0; }
    bool IsDestroying() const { return (FComponentState & csDestroying) != 0; }

    // Called by the layout reader before the first stored value is applied.
    void BeginLoading() { FComponentState |= csLoading; }
    // Called once every component of the layout has its stored values and
    // references; overrides must call the base.
    virtual void Loaded() { FComponentState &= ~csLoading; }

protected:
    void MarkDestroying() { FComponentState |= csDestroying; }

private:
    unsigned FComponentState = 0;
};

// A non-visual component: owner is the Qt parent, name the object name.
class TComponent : public QObject, public TLayoutComponent
{
    Q_OBJECT

public:
    explicit TComponent(QObject* AOwner);

    QString Name() const { return objectName(); }
    QObject* Owner() const { return parent(); }
};

// A sub-object that takes its stored value whole (a vector, a picture, a
// collection) rather than as a list of its own properties.
class TLayoutValue
{
public:
    virtual ~TLayoutValue() = default;
    virtual void ReadLayoutValue(const class QJsonValue& value, class TLayoutReader& reader) = 0;
};

// A component that adopts the components stored under it in a layout
// (scene objects under their parent object, for instance).
class TLayoutParent
{
public:
    virtual ~TLayoutParent() = default;
    // The class every component stored under this one must derive from.
    virtual const QMetaObject& LayoutChildClass() const = 0;
    virtual void InsertLayoutChild(QObject* child) = 0;
};

// A class whose components live only in a tree held by a component of another
// class (scene objects in a scene) names that class in its class info
// Q_CLASSINFO("StoredWithin", "<class>"); a layout cannot store such a
// component directly in the form.
inline constexpr const char* StoredWithinInfo = "StoredWithin";
