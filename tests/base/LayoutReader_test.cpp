#include "base/ClassRegistry.h"
#include "base/Component.h"
#include "base/Events.h"
#include "base/Exceptions.h"
#include "base/Graphics.h"
#include "base/LayoutReader.h"

#include <QApplication>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace RecorderTypes
{
Q_NAMESPACE
enum TRecorderMode
{
    rmSlow,
    rmFast,
};
Q_ENUM_NS(TRecorderMode)
enum TRecorderFlag
{
    rfOne = 1,
    rfTwo = 2,
    rfThree = 4,
};
Q_DECLARE_FLAGS(TRecorderFlags, TRecorderFlag)
Q_FLAG_NS(TRecorderFlags)
} // namespace RecorderTypes
using namespace RecorderTypes;

// Every stored value a component receives, in the order received.
QStringList Journal;

class TRecorderSub : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int Count READ Count WRITE SetCount)
    Q_PROPERTY(QString Label READ Label WRITE SetLabel)
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)

public:
    explicit TRecorderSub(QObject* owner) : QObject(owner) {}
    int Count() const { return FCount; }
    void SetCount(int value) { FCount = value; Journal << "Sub.Count"; }
    QString Label() const { return FLabel; }
    void SetLabel(const QString& value) { FLabel = value; Journal << "Sub.Label"; }
    TColor Color() const { return FColor; }
    void SetColor(TColor value) { FColor = value; Journal << "Sub.Color"; }

private:
    int FCount = 0;
    QString FLabel;
    TColor FColor;
};

class TRecorder : public TComponent, public TLayoutParent
{
    Q_OBJECT
    Q_PROPERTY(int Count READ Count WRITE SetCount)
    Q_PROPERTY(QString Label READ Label WRITE SetLabel)
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    Q_PROPERTY(TRecorderSub* Sub READ Sub)
    Q_PROPERTY(TRecorder* Partner READ Partner WRITE SetPartner)
    Q_PROPERTY(RecorderTypes::TRecorderMode Mode READ Mode WRITE SetMode)
    Q_PROPERTY(RecorderTypes::TRecorderFlags Flags READ Flags WRITE SetFlags)
    Q_PROPERTY(double Ratio READ Ratio WRITE SetRatio)
    Q_PROPERTY(ushort Small READ Small WRITE SetSmall)
    Q_PROPERTY(TNotifyEvent OnPing READ OnPing WRITE SetOnPing)
    Q_PROPERTY(uint Unsigned MEMBER FUnsigned)
    Q_PROPERTY(qint64 Big MEMBER FBig)
    Q_PROPERTY(quint64 Huge MEMBER FHuge)
    Q_PROPERTY(float Single MEMBER FSingle)

public:
    explicit TRecorder(QObject* owner) : TComponent(owner), FSub(new TRecorderSub(this)) {}

    int Count() const { return FCount; }
    void SetCount(int value) { FCount = value; Journal << Name() + ".Count"; }
    QString Label() const { return FLabel; }
    void SetLabel(const QString& value) { FLabel = value; Journal << Name() + ".Label"; }
    TColor Color() const { return FColor; }
    void SetColor(TColor value) { FColor = value; }
    TRecorderSub* Sub() const { return FSub; }
    TRecorder* Partner() const { return FPartner; }
    void SetPartner(TRecorder* value) { FPartner = value; Journal << Name() + ".Partner"; }
    TRecorderMode Mode() const { return FMode; }
    void SetMode(TRecorderMode value) { FMode = value; }
    TRecorderFlags Flags() const { return FFlags; }
    void SetFlags(TRecorderFlags value) { FFlags = value; }
    double Ratio() const { return FRatio; }
    void SetRatio(double value) { FRatio = value; }
    ushort Small() const { return FSmall; }
    void SetSmall(ushort value) { FSmall = value; }
    TNotifyEvent OnPing() const { return FOnPing; }
    void SetOnPing(const TNotifyEvent& value) { FOnPing = value; }

    const QMetaObject& LayoutChildClass() const override { return staticMetaObject; }
    void InsertLayoutChild(QObject* child) override { FChildren << child->objectName(); }
    void Loaded() override
    {
        Journal << QStringLiteral("%1 loaded, partner %2, loading %3")
                       .arg(Name(), FPartner ? FPartner->Name() : QStringLiteral("none"))
                       .arg(IsLoading());
        TComponent::Loaded();
    }

    QStringList FChildren;
    uint FUnsigned = 0;
    qint64 FBig = 0;
    quint64 FHuge = 0;
    float FSingle = 0;

private:
    TRecorderSub* const FSub;
    int FCount = 0;
    QString FLabel;
    TColor FColor;
    TRecorder* FPartner = nullptr;
    TRecorderMode FMode = rmSlow;
    TRecorderFlags FFlags;
    double FRatio = 0;
    ushort FSmall = 0;
    TNotifyEvent FOnPing;
};

// Lives only under a TRecorder.
class TRecorderPart : public TRecorder
{
    Q_OBJECT
    Q_CLASSINFO("StoredWithin", "TRecorder")

public:
    using TRecorder::TRecorder;
};

// Holds no components of its own.
class TPlain : public TComponent
{
    Q_OBJECT

public:
    using TComponent::TComponent;
};

class TPanel : public QWidget
{
    Q_OBJECT

public:
    explicit TPanel(QWidget* owner) : QWidget(owner) {}
};

// A window without fields, for layouts of the game's own classes.
class TWindowHost : public QWidget
{
    Q_OBJECT
};

class TLayoutHost : public QObject, public TLayoutComponent
{
    Q_OBJECT
    Q_PROPERTY(QString Caption MEMBER FCaption)
    Q_PROPERTY(TNotifyEvent OnPing READ OnPing WRITE SetOnPing)
    Q_PROPERTY(TRecorder* First MEMBER First)
    Q_PROPERTY(TRecorder* Second MEMBER Second)

public:
    TLayoutHost() { setObjectName("LayoutHost"); }

    TNotifyEvent OnPing() const { return FOnPing; }
    void SetOnPing(const TNotifyEvent& value) { FOnPing = value; }

    Q_INVOKABLE void HostPing(QObject* Sender) { FPings << Sender->objectName(); }
    // Same name, other parameters: must not be bound to a notify event.
    Q_INVOKABLE void Other(QObject* Sender, int) { FPings << Sender->objectName(); }

    QString FCaption;
    TNotifyEvent FOnPing;
    TRecorder* First = nullptr;
    TRecorder* Second = nullptr;
    QStringList FPings;
};

class LayoutReaderTest : public testing::Test
{
protected:
    void SetUp() override
    {
        TClassRegistry::RegisterClass<TRecorder>();
        TClassRegistry::RegisterClass<TRecorderPart>();
        TClassRegistry::RegisterClass<TPlain>();
        TClassRegistry::RegisterClass<TPanel>();
        Journal.clear();
    }

    // The failure text of reading `components` into `root`, stored as the
    // layout `name`; an empty string when reading succeeded.
    QString ReadFailure(const QString& name, const char* components, QObject& root)
    {
        const QString path = FDirectory.filePath(name + ".json");
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return "cannot write " + path;
        file.write(QByteArray(R"({"class": ")") + root.metaObject()->className() + R"(", "components": )" +
                   components + "}");
        file.close();
        try
        {
            TLayoutReader(&root, path).Read();
        }
        catch (const ELayoutError& error)
        {
            return error.Message();
        }
        return QString();
    }

    // Reads one TRecorder "First" with `property` set to `value` into a new
    // host, and a TRecorder "Second" so that every field is bound.
    QString ValueFailure(const char* property, const char* value, TLayoutHost& host)
    {
        const QByteArray components = QByteArray(R"([{"name": "First", "class": "TRecorder", "properties": [{")") +
                                      property + R"(": )" + value +
                                      R"(}]}, {"name": "Second", "class": "TRecorder"}])";
        return ReadFailure(QStringLiteral("Values"), components.constData(), host);
    }

    // The reader's failure text, or an empty string when it succeeded.
    QString ReadFailure(const QString& layout)
    {
        try
        {
            TLayoutReader(&FHost, QStringLiteral(":/layouts/%1.json").arg(layout)).Read();
        }
        catch (const ELayoutError& error)
        {
            return error.Message();
        }
        return QString();
    }

    QTemporaryDir FDirectory;
    TLayoutHost FHost;
};

TEST_F(LayoutReaderTest, BuildsComponentsAndAppliesValuesInStoredOrder)
{
    ASSERT_EQ(ReadFailure("TLayoutHost"), QString());
    ASSERT_NE(FHost.First, nullptr);
    ASSERT_NE(FHost.Second, nullptr);
    EXPECT_EQ(FHost.FCaption, "host");
    EXPECT_EQ(FHost.Second->Count(), 7);
    EXPECT_EQ(FHost.Second->Sub()->Count(), 3);
    EXPECT_EQ(FHost.Second->Sub()->Label(), "nested");
    EXPECT_EQ(FHost.Second->Sub()->Color(), clRed);
    EXPECT_EQ(FHost.First->Color().Value, 33023);
    EXPECT_EQ(FHost.Second->Mode(), rmFast);
    EXPECT_EQ(FHost.Second->Flags(), TRecorderFlags(rfOne | rfThree));
    EXPECT_DOUBLE_EQ(FHost.Second->Ratio(), 0.25);
    EXPECT_EQ(FHost.Second->Small(), 65535);
    EXPECT_EQ(FHost.Second->FChildren, QStringList{"Child"});
    // References are set once every component exists, after the plain values.
    const QStringList expected{"Second.Count", "Second.Label", "Sub.Count", "Sub.Label", "Sub.Color",
                               "Child.Count",  "Second.Partner", "First.Partner",
                               "Second loaded, partner First, loading 1", "Child loaded, partner none, loading 1",
                               "First loaded, partner none, loading 1"};
    EXPECT_EQ(Journal, expected);
    EXPECT_FALSE(FHost.First->IsLoading());
}

TEST_F(LayoutReaderTest, BindsEventsToTheRootsHandlersByName)
{
    ASSERT_EQ(ReadFailure("TLayoutHost"), QString());
    ASSERT_TRUE(FHost.Second->OnPing());
    FHost.Second->OnPing()(FHost.Second);
    FHost.FOnPing(&FHost);
    EXPECT_EQ(FHost.FPings, (QStringList{"Second", "LayoutHost"}));
    EXPECT_FALSE(FHost.First->OnPing());
}

TEST_F(LayoutReaderTest, FailuresNameTheLayoutComponentAndProperty)
{
    EXPECT_EQ(ReadFailure("UnknownClass"),
              "Layout \"UnknownClass\", component \"Thing1\": unknown class \"TNoSuchThing\"");
    EXPECT_EQ(ReadFailure("UnknownProperty"),
              "Layout \"UnknownProperty\", component \"First\", property \"Sub.Colour\": "
              "unknown property of class \"TRecorderSub\"");
    EXPECT_EQ(ReadFailure("UnknownHandler"),
              "Layout \"UnknownHandler\", component \"First\", property \"OnPing\": unknown handler \"NoSuchHandler\"");
    EXPECT_EQ(ReadFailure("BadEnum"),
              "Layout \"BadEnum\", component \"First\", property \"Mode\": has no value \"rmSideways\"");
    EXPECT_EQ(ReadFailure("BadReference"),
              "Layout \"BadReference\", component \"First\", property \"Partner\": "
              "names the unknown component \"Nobody\"");
    EXPECT_EQ(ReadFailure("WrongValueType"),
              "Layout \"WrongValueType\", component \"First\", property \"Count\": does not take the value \"seven\"");
    EXPECT_EQ(ReadFailure("OutOfRange"),
              "Layout \"OutOfRange\", component \"First\", property \"Small\": does not take the value 65536");
    EXPECT_TRUE(ReadFailure("NotJson").startsWith("Layout \"NotJson\": is not valid at offset"));
    EXPECT_EQ(ReadFailure("Missing"), "Layout \"Missing\": cannot be opened (:/layouts/Missing.json)");
}

TEST_F(LayoutReaderTest, NumbersThatDoNotFitTheirPropertyAreRefused)
{
    struct TCase
    {
        const char* Property;
        const char* Value;
    };
    // 2^63, 2^64 (as written and as a double's rounding of 2^64 - 1), 2^31,
    // beyond the single's 3.4e38.
    const std::vector<TCase> refused{
        {"Big", "9223372036854775808"}, {"Big", "-9223372036854777856"}, {"Big", "1.5"},
        {"Huge", "18446744073709551616"}, {"Huge", "18446744073709551615"}, {"Huge", "-1"},
        {"Count", "2147483648"}, {"Count", "-2147483649"}, {"Count", "2.5"}, {"Unsigned", "-1"},
        {"Small", "-1"}, {"Color", "1e30"}, {"Color", "2147483648"}, {"Color", "0.5"},
        {"Single", "1e39"}, {"Single", "-3.5e38"}, {"Mode", "1"}};
    for (const TCase& value : refused)
    {
        TLayoutHost host;
        const QString failure = ValueFailure(value.Property, value.Value, host);
        EXPECT_TRUE(failure.startsWith(QStringLiteral("Layout \"Values\", component \"First\", property \"%1\": ")
                                           .arg(value.Property)))
            << value.Property << " " << value.Value << ": " << failure.toStdString();
    }
    // The text shows the double the number was read as: 2^63 in its shortest digits.
    TLayoutHost host;
    EXPECT_EQ(ValueFailure("Big", "9223372036854775808", host),
              "Layout \"Values\", component \"First\", property \"Big\": does not take the value 9223372036854776000");

    // The extremes that do fit arrive exactly.
    TLayoutHost extremes;
    ASSERT_EQ(ReadFailure("Extremes",
                          R"([{"name": "First", "class": "TRecorder", "properties": [
                                {"Big": 9223372036854775807}, {"Count": -2147483648}, {"Unsigned": 4294967295},
                                {"Color": -16777201}, {"Single": 3.4e38}]},
                              {"name": "Second", "class": "TRecorder", "properties": [
                                {"Big": -9223372036854775808}, {"Huge": 9223372036854775808}, {"Color": 2147483647}]}])",
                          extremes),
              QString());
    EXPECT_EQ(extremes.First->FBig, std::numeric_limits<qint64>::max());
    EXPECT_EQ(extremes.Second->FBig, std::numeric_limits<qint64>::min());
    EXPECT_EQ(extremes.Second->FHuge, quint64{1} << 63);
    EXPECT_EQ(extremes.First->Count(), std::numeric_limits<int>::min());
    EXPECT_EQ(extremes.First->FUnsigned, 4294967295u);
    EXPECT_EQ(extremes.First->Color(), clBtnFace);
    EXPECT_EQ(extremes.Second->Color().Value, 2147483647);
    EXPECT_EQ(extremes.First->FSingle, 3.4e38f);

    // Vectors and colours of scene objects hold singles too.
    TWindowHost window;
    EXPECT_EQ(ReadFailure("SceneSingles",
                          R"([{"name": "GLScene1", "class": "TGLScene", "children": [
                                {"name": "GLCube1", "class": "TGLCube", "properties": [{"Position": [0, 1e39, 0]}]}]}])",
                          window),
              "Layout \"SceneSingles\", component \"GLCube1\", property \"Position\": does not take the value 1e+39");
    TWindowHost lightWindow;
    EXPECT_EQ(ReadFailure("LightSingles",
                          R"([{"name": "GLScene1", "class": "TGLScene", "children": [
                                {"name": "GLLightSource1", "class": "TGLLightSource", "properties": [
                                  {"Diffuse": [1, 1, -1e40]}]}]}])",
                          lightWindow),
              "Layout \"LightSingles\", component \"GLLightSource1\", property \"Diffuse\": does not take the value "
              "-1e+40");
}

TEST_F(LayoutReaderTest, ComponentsOfAKindTheirParentCannotHoldAreRefused)
{
    const QString partAtRoot = ReadFailure("PartAtRoot", R"([{"name": "Part1", "class": "TRecorderPart"}])", FHost);
    EXPECT_EQ(partAtRoot, "Layout \"PartAtRoot\", component \"Part1\": is a TRecorderPart, which can only be stored "
                          "within a TRecorder");
    TLayoutHost controlHost;
    EXPECT_EQ(ReadFailure("ControlInObject", R"([{"name": "Panel1", "class": "TPanel"}])", controlHost),
              "Layout \"ControlInObject\", component \"Panel1\": is a TPanel, a control, which cannot be stored in a "
              "TLayoutHost");
    TLayoutHost widgetHost;
    const int windowsBefore = static_cast<int>(QApplication::topLevelWidgets().size());
    EXPECT_EQ(ReadFailure("ControlUnderRecorder",
                          R"([{"name": "First", "class": "TRecorder", "children": [{"name": "Panel1", "class": "TPanel"}]}])",
                          widgetHost),
              "Layout \"ControlUnderRecorder\", component \"Panel1\": is a TPanel, which cannot be stored under "
              "\"First\": it holds only TRecorder components");
    // Refused before it was built: no stray window is left behind.
    EXPECT_EQ(QApplication::topLevelWidgets().size(), windowsBefore);
    TLayoutHost plainHost;
    EXPECT_EQ(ReadFailure("UnderPlain",
                          R"([{"name": "Plain1", "class": "TPlain", "children": [{"name": "First", "class": "TRecorder"}]}])",
                          plainHost),
              "Layout \"UnderPlain\", component \"First\": is stored under \"Plain1\", which cannot hold components");
    TLayoutHost partHost;
    EXPECT_EQ(ReadFailure("PartUnderRecorder",
                          R"([{"name": "First", "class": "TRecorder", "children": [{"name": "Part1", "class": "TRecorderPart"}]},
                              {"name": "Second", "class": "TRecorder"}])",
                          partHost),
              QString());

    // The game's own kinds: scene objects only in a scene, which holds nothing else.
    TWindowHost window;
    EXPECT_EQ(ReadFailure("CubeInForm", R"([{"name": "GLCube1", "class": "TGLCube"}])", window),
              "Layout \"CubeInForm\", component \"GLCube1\": is a TGLCube, which can only be stored within a TGLScene");
    TWindowHost gaugeWindow;
    EXPECT_EQ(ReadFailure("GaugeInScene",
                          R"([{"name": "GLScene1", "class": "TGLScene", "children": [
                                {"name": "GLCube1", "class": "TGLCube", "children": [{"name": "Vie1", "class": "TcyGauge"}]}]}])",
                          gaugeWindow),
              "Layout \"GaugeInScene\", component \"Vie1\": is a TcyGauge, which cannot be stored under \"GLCube1\": "
              "it holds only TGLBaseSceneObject components");
    TWindowHost clockWindow;
    EXPECT_EQ(ReadFailure("ClockInScene",
                          R"([{"name": "GLScene1", "class": "TGLScene", "children": [{"name": "GLCadencer1", "class": "TGLCadencer"}]}])",
                          clockWindow),
              "Layout \"ClockInScene\", component \"GLCadencer1\": is a TGLCadencer, which cannot be stored under "
              "\"GLScene1\": it holds only TGLBaseSceneObject components");
}

TEST_F(LayoutReaderTest, AFieldWithoutItsComponentFailsBeforeAnythingIsLoaded)
{
    EXPECT_EQ(ReadFailure("OnlyFirst", R"([{"name": "First", "class": "TRecorder"}])", FHost),
              "Layout \"OnlyFirst\", form \"TLayoutHost\", field \"Second\": no component of that name is stored");
    EXPECT_FALSE(Journal.join(' ').contains("loaded"));
    EXPECT_TRUE(FHost.First->IsLoading());
}

TEST_F(LayoutReaderTest, ANameStoredTwiceIsRefused)
{
    EXPECT_EQ(ReadFailure("Siblings", R"([{"name": "First", "class": "TRecorder"}, {"name": "First", "class": "TRecorder"}])",
                          FHost),
              "Layout \"Siblings\", component \"First\": is stored twice");
    TLayoutHost nested;
    EXPECT_EQ(ReadFailure("Nested",
                          R"([{"name": "First", "class": "TRecorder", "children": [{"name": "First", "class": "TRecorder"}]}])",
                          nested),
              "Layout \"Nested\", component \"First\": is stored twice");
    TLayoutHost named;
    EXPECT_EQ(ReadFailure("RootName", R"([{"name": "LayoutHost", "class": "TRecorder"}])", named),
              "Layout \"RootName\", component \"LayoutHost\": is stored twice");
}

TEST(EventBinder, RefusesAHandlerWithOtherParameters)
{
    TLayoutHost host;
    EXPECT_THROW(TEventBinder::Bind(QMetaType::fromType<TNotifyEvent>(), &host, "Other"), ELayoutError);
    EXPECT_NO_THROW(TEventBinder::Bind(QMetaType::fromType<TNotifyEvent>(), &host, "HostPing"));
}

TEST(Colors, NamesNumbersAndSystemColoursResolve)
{
    EXPECT_EQ(StringToColor("clBtnFace"), clBtnFace);
    EXPECT_EQ(StringToColor("33023"), TColor{33023});
    EXPECT_EQ(StringToColor("clPink"), std::nullopt);
    EXPECT_EQ(ColorToRGB(TColor{33023}), QColor(255, 128, 0));
    EXPECT_EQ(ColorToRGB(clBtnFace), QColor(240, 240, 240));
    EXPECT_EQ(ColorToString(clRed), "clRed");
}

#include "LayoutReader_test.moc"
