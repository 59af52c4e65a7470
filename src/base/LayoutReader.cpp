#include "LayoutReader.h"

#include "Component.h"
#include "ClassRegistry.h"
#include "Events.h"
#include "Exceptions.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QMetaEnum>
#include <QWidget>

#include <cmath>
#include <limits>

namespace
{
QHash<int, TLayoutReader::TConverter>& Converters()
{
    static QHash<int, TLayoutReader::TConverter> converters;
    return converters;
}

bool HoldsComponent(QMetaType type)
{
    return (type.flags() & QMetaType::PointerToQObject) != 0;
}

QObject* ReadObject(const QObject* target, const QMetaProperty& property)
{
    const QVariant value = property.read(target);
    if (!value.isValid() || !HoldsComponent(value.metaType()))
        return nullptr;
    return *static_cast<QObject* const*>(value.constData());
}

template <class T>
std::optional<QVariant> IntegerValue(const QJsonValue& value)
{
    const std::optional<T> number = TLayoutReader::IntegerOf<T>(value);
    return number ? std::optional<QVariant>(QVariant::fromValue(*number)) : std::nullopt;
}

std::optional<QVariant> BuiltInValue(QMetaType type, const QJsonValue& value)
{
    switch (type.id())
    {
    case QMetaType::Bool:
        return value.isBool() ? std::optional<QVariant>(value.toBool()) : std::nullopt;
    case QMetaType::Int: return IntegerValue<int>(value);
    case QMetaType::UInt: return IntegerValue<unsigned>(value);
    case QMetaType::Short: return IntegerValue<short>(value);
    case QMetaType::UShort: return IntegerValue<unsigned short>(value);
    case QMetaType::Char: return IntegerValue<char>(value);
    case QMetaType::UChar: return IntegerValue<unsigned char>(value);
    case QMetaType::LongLong: return IntegerValue<qint64>(value);
    case QMetaType::ULongLong: return IntegerValue<quint64>(value);
    case QMetaType::Double:
        return value.isDouble() ? std::optional<QVariant>(value.toDouble()) : std::nullopt;
    case QMetaType::Float:
    {
        const std::optional<float> number = TLayoutReader::SingleOf(value);
        return number ? std::optional<QVariant>(*number) : std::nullopt;
    }
    case QMetaType::QString:
        return value.isString() ? std::optional<QVariant>(value.toString()) : std::nullopt;
    case QMetaType::QChar:
        if (value.isString() && value.toString().size() == 1)
            return QVariant(value.toString().at(0));
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

QString Describe(const QJsonValue& value)
{
    if (value.isString())
        return QStringLiteral("\"%1\"").arg(value.toString());
    if (value.isArray())
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    if (value.isObject())
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    return QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact).mid(1).chopped(1);
}
} // namespace

void TLayoutReader::RegisterConverter(QMetaType type, TConverter converter)
{
    Converters().insert(type.id(), std::move(converter));
}

std::optional<float> TLayoutReader::SingleOf(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    // Converting a double beyond the single's range is undefined, not infinite.
    const double number = value.toDouble();
    if (!(std::abs(number) <= static_cast<double>(std::numeric_limits<float>::max())))
        return std::nullopt;
    return static_cast<float>(number);
}

TLayoutReader::TLayoutReader(QObject* root, QString layoutPath)
    : FRoot(root), FLayoutPath(std::move(layoutPath)), FLayoutName(QFileInfo(FLayoutPath).completeBaseName())
{
}

void TLayoutReader::Read()
{
    const QJsonObject document = ParseDocument();
    const QString className = document.value(QStringLiteral("class")).toString();
    if (className != QString::fromLatin1(FRoot->metaObject()->className()))
        Fail(QStringLiteral("stores class \"%1\", not \"%2\"")
                 .arg(className, QString::fromLatin1(FRoot->metaObject()->className())));
    FComponent = FRoot->objectName();
    if (auto* component = dynamic_cast<TLayoutComponent*>(FRoot))
        component->BeginLoading();
    ApplyProperties(FRoot, document.value(QStringLiteral("properties")));
    ReadComponents(document.value(QStringLiteral("components")), FRoot);
    ResolveFixups();
    CheckFieldsBound();
    CallLoaded();
}

QJsonObject TLayoutReader::ParseDocument() const
{
    QFile file(FLayoutPath);
    if (!file.open(QIODevice::ReadOnly))
        Fail(QStringLiteral("cannot be opened (%1)").arg(FLayoutPath));
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError)
        Fail(QStringLiteral("is not valid at offset %1: %2").arg(error.offset).arg(error.errorString()));
    if (!document.isObject())
        Fail(QStringLiteral("is not a layout object"));
    return document.object();
}

void TLayoutReader::ReadComponents(const QJsonValue& list, QObject* parent)
{
    if (list.isUndefined())
        return;
    if (!list.isArray())
        Fail(QStringLiteral("holds components that are not a list"));
    for (const QJsonValue& entry : list.toArray())
    {
        if (!entry.isObject())
            Fail(QStringLiteral("holds a component that is not an object"));
        CreateComponent(entry.toObject(), parent);
    }
}

QObject* TLayoutReader::CreateComponent(const QJsonObject& entry, QObject* parent)
{
    FComponent = entry.value(QStringLiteral("name")).toString();
    FProperty.clear();
    static const QStringList knownKeys{"name", "class", "properties", "children"};
    for (const QString& key : entry.keys())
        if (!knownKeys.contains(key))
            Fail(QStringLiteral("has an unknown entry \"%1\"").arg(key));
    if (FComponent.isEmpty())
        Fail(QStringLiteral("has a component without a name"));
    if (FindComponent(FComponent) != nullptr)
        Fail(QStringLiteral("is stored twice"));
    const QString className = entry.value(QStringLiteral("class")).toString();
    const QMetaObject* const kind = TClassRegistry::MetaObject(className);
    if (kind == nullptr)
        Fail(QStringLiteral("unknown class \"%1\"").arg(className));
    // Checked before the component exists: a control built under a scene
    // object would have no window to live in.
    CheckPlacement(*kind, parent);
    QObject* const component = TClassRegistry::Create(className, parent);
    component->setObjectName(FComponent);
    if (parent != FRoot)
        dynamic_cast<TLayoutParent*>(parent)->InsertLayoutChild(component);
    FCreated.push_back(component);
    if (auto* loadable = dynamic_cast<TLayoutComponent*>(component))
        loadable->BeginLoading();
    BindField(component);
    ApplyProperties(component, entry.value(QStringLiteral("properties")));
    ReadComponents(entry.value(QStringLiteral("children")), component);
    FComponent = component->objectName();
    return component;
}

void TLayoutReader::CheckPlacement(const QMetaObject& kind, QObject* parent) const
{
    const QString className = QString::fromLatin1(kind.className());
    if (parent == FRoot)
    {
        const int within = kind.indexOfClassInfo(StoredWithinInfo);
        if (within >= 0)
            Fail(QStringLiteral("is a %1, which can only be stored within a %2")
                     .arg(className, QString::fromLatin1(kind.classInfo(within).value())));
        if (kind.inherits(&QWidget::staticMetaObject) && !FRoot->isWidgetType())
            Fail(QStringLiteral("is a %1, a control, which cannot be stored in a %2")
                     .arg(className, QString::fromLatin1(FRoot->metaObject()->className())));
        return;
    }
    const auto* const holder = dynamic_cast<const TLayoutParent*>(parent);
    if (holder == nullptr)
        Fail(QStringLiteral("is stored under \"%1\", which cannot hold components").arg(parent->objectName()));
    const QMetaObject& held = holder->LayoutChildClass();
    if (!kind.inherits(&held))
        Fail(QStringLiteral("is a %1, which cannot be stored under \"%2\": it holds only %3 components")
                 .arg(className, parent->objectName(), QString::fromLatin1(held.className())));
}

// A root property named after a component receives it, the way a form's
// fields are filled from its layout.
void TLayoutReader::BindField(QObject* component)
{
    const QMetaObject* rootMeta = FRoot->metaObject();
    const int index = rootMeta->indexOfProperty(component->objectName().toLatin1().constData());
    if (index < 0)
        return;
    const QMetaProperty field = rootMeta->property(index);
    const QMetaObject* fieldClass = field.metaType().metaObject();
    if (!HoldsComponent(field.metaType()) || fieldClass == nullptr || !component->metaObject()->inherits(fieldClass))
        Fail(QStringLiteral("cannot be held by the field of the same name"));
    field.write(FRoot, QVariant(field.metaType(), &component));
}

void TLayoutReader::ApplyProperties(QObject* target, const QJsonValue& properties)
{
    if (properties.isUndefined())
        return;
    if (!properties.isArray())
        Fail(QStringLiteral("has properties that are not a list of one-entry objects"));
    const QString outer = FProperty;
    for (const QJsonValue& entry : properties.toArray())
    {
        const QJsonObject pair = entry.toObject();
        if (!entry.isObject() || pair.size() != 1)
            Fail(QStringLiteral("has a property entry that is not a one-entry object"));
        const QString name = pair.begin().key();
        FProperty = outer.isEmpty() ? name : outer + QLatin1Char('.') + name;
        ApplyProperty(target, name, pair.begin().value());
    }
    FProperty = outer;
}

void TLayoutReader::ApplyProperty(QObject* target, const QString& path, const QJsonValue& value)
{
    const QStringList parts = path.split(QLatin1Char('.'));
    QObject* owner = target;
    for (qsizetype i = 0; i < parts.size(); ++i)
    {
        const QMetaObject* meta = owner->metaObject();
        const int index = meta->indexOfProperty(parts[i].toLatin1().constData());
        if (index < 0)
            Fail(QStringLiteral("unknown property of class \"%1\"").arg(QString::fromLatin1(meta->className())));
        const QMetaProperty property = meta->property(index);
        if (i + 1 == parts.size())
        {
            WriteProperty(owner, property, value);
            return;
        }
        owner = ReadObject(owner, property);
        if (owner == nullptr)
            Fail(QStringLiteral("\"%1\" is not an object with properties").arg(parts[i]));
    }
}

void TLayoutReader::WriteProperty(QObject* target, const QMetaProperty& property, const QJsonValue& value)
{
    const QMetaType type = property.metaType();
    if (TEventBinder::IsEventType(type))
    {
        if (!value.isNull() && !value.isString())
            Fail(QStringLiteral("needs the name of a handler"));
        QVariant event(type);
        if (value.isString())
        {
            try
            {
                event = TEventBinder::Bind(type, FRoot, value.toString());
            }
            catch (const ELayoutError& error)
            {
                Fail(error.Message());
            }
        }
        property.write(target, event);
        return;
    }
    // A read-only object property is a sub-object that takes the stored
    // value itself; a writable one given a list is filled in place.
    if (HoldsComponent(type) && (!property.isWritable() || value.isArray() || value.isObject()))
    {
        WriteSubObject(ReadObject(target, property), value);
        return;
    }
    if (!property.isWritable())
        Fail(QStringLiteral("is read-only"));
    if (HoldsComponent(type))
    {
        if (!value.isNull() && !value.isString())
            Fail(QStringLiteral("needs the name of a component"));
        FFixups.push_back({target, property, value.toString(), FComponent, FProperty});
        return;
    }
    if (!property.write(target, ConvertValue(property, value)))
        Fail(QStringLiteral("does not take the value %1").arg(Describe(value)));
}

void TLayoutReader::WriteSubObject(QObject* subObject, const QJsonValue& value)
{
    if (subObject == nullptr)
        Fail(QStringLiteral("has no object to receive the stored values"));
    if (auto* whole = dynamic_cast<TLayoutValue*>(subObject))
        whole->ReadLayoutValue(value, *this);
    else if (value.isArray())
        ApplyProperties(subObject, value);
    else
        Fail(QStringLiteral("needs a list of properties"));
}

QVariant TLayoutReader::ConvertValue(const QMetaProperty& property, const QJsonValue& value) const
{
    const QMetaType type = property.metaType();
    if (property.isEnumType())
    {
        const QMetaEnum enumerator = property.enumerator();
        QByteArray keys;
        if (enumerator.isFlag() && value.isArray())
        {
            QStringList names;
            for (const QJsonValue& key : value.toArray())
                names << key.toString();
            keys = names.join(QLatin1Char('|')).toLatin1();
        }
        else if (value.isString())
            keys = value.toString().toLatin1();
        else
            Fail(QStringLiteral("needs a name of \"%1\"").arg(QString::fromLatin1(enumerator.name())));
        bool ok = true;
        int number = 0;
        if (!keys.isEmpty())
            number = enumerator.isFlag() ? enumerator.keysToValue(keys.constData(), &ok)
                                         : enumerator.keyToValue(keys.constData(), &ok);
        if (!ok || (keys.isEmpty() && !enumerator.isFlag()))
            Fail(QStringLiteral("has no value %1").arg(Describe(value)));
        return QVariant(type, &number);
    }
    const auto custom = Converters().constFind(type.id());
    std::optional<QVariant> converted =
        custom != Converters().constEnd() ? (*custom)(value) : BuiltInValue(type, value);
    if (!converted)
        Fail(QStringLiteral("does not take the value %1").arg(Describe(value)));
    return *converted;
}

void TLayoutReader::ResolveFixups()
{
    for (const TFixup& fixup : FFixups)
    {
        FComponent = fixup.Component;
        FProperty = fixup.PropertyName;
        QObject* referenced = nullptr;
        if (!fixup.Referenced.isEmpty())
        {
            referenced = FindComponent(fixup.Referenced);
            if (referenced == nullptr)
                Fail(QStringLiteral("names the unknown component \"%1\"").arg(fixup.Referenced));
            const QMetaObject* wanted = fixup.Property.metaType().metaObject();
            if (wanted != nullptr && !referenced->metaObject()->inherits(wanted))
                Fail(QStringLiteral("cannot hold \"%1\", which is not a %2")
                         .arg(fixup.Referenced, QString::fromLatin1(wanted->className())));
        }
        if (!fixup.Property.write(fixup.Target, QVariant(fixup.Property.metaType(), &referenced)))
            Fail(QStringLiteral("does not take the component \"%1\"").arg(fixup.Referenced));
    }
    FFixups.clear();
}

// A field left empty would be met as a null pointer long after the window was
// created.
void TLayoutReader::CheckFieldsBound() const
{
    const QMetaObject* const rootMeta = FRoot->metaObject();
    for (int i = 0; i < rootMeta->propertyCount(); ++i)
    {
        const QMetaProperty field = rootMeta->property(i);
        if (!HoldsComponent(field.metaType()) || !field.isWritable() || ReadObject(FRoot, field) != nullptr)
            continue;
        throw ELayoutError(QStringLiteral("Layout \"%1\", form \"%2\", field \"%3\": no component of that name is stored")
                               .arg(FLayoutName, QString::fromLatin1(rootMeta->className()),
                                    QString::fromLatin1(field.name())));
    }
}

void TLayoutReader::CallLoaded()
{
    for (QObject* component : FCreated)
        if (auto* loadable = dynamic_cast<TLayoutComponent*>(component))
            loadable->Loaded();
    if (auto* root = dynamic_cast<TLayoutComponent*>(FRoot))
        root->Loaded();
}

QObject* TLayoutReader::FindComponent(const QString& name) const
{
    if (FRoot->objectName() == name)
        return FRoot;
    for (QObject* component : FCreated)
        if (component->objectName() == name)
            return component;
    return nullptr;
}

QString TLayoutReader::SiblingPath(const QString& fileName) const
{
    return QFileInfo(FLayoutPath).dir().filePath(fileName);
}

float TLayoutReader::SingleValue(const QJsonValue& value) const
{
    const std::optional<float> number = SingleOf(value);
    if (!number)
        Fail(QStringLiteral("does not take the value %1").arg(Describe(value)));
    return *number;
}

void TLayoutReader::Fail(const QString& what) const
{
    QString where = QStringLiteral("Layout \"%1\"").arg(FLayoutName);
    if (!FComponent.isEmpty())
        where += QStringLiteral(", component \"%1\"").arg(FComponent);
    if (!FProperty.isEmpty())
        where += QStringLiteral(", property \"%1\"").arg(FProperty);
    throw ELayoutError(where + QStringLiteral(": ") + what);
}
