// Feeds arbitrary bytes through the layout reader the way a window reads its
// stored layout, with every component class of the game registered and a
// window that has every handler the game's layouts name. Pictures the layouts
// name lie beside the layout as small stand-ins, so that a picture costs
// little to decode. Errors are the expected answer to bad bytes; anything
// else (a crash, a sanitizer report, a hang) is a finding.
#include "ControlTypes.h"
#include "Exceptions.h"
#include "FuzzRefusal.h"
#include "Form.h"
#include "LayoutReader.h"
#include "Loading.h"
#include "Startup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

using namespace ControlTypes;

// A window with the handlers of all the game's windows, each doing nothing.
class TFuzzForm : public TForm
{
    Q_OBJECT

public:
    using TForm::TForm;

    Q_INVOKABLE void FormCreate(QObject*) {}
    Q_INVOKABLE void FormKeyPress(QObject*, QChar&) {}
    Q_INVOKABLE void AsyncTimer1Timer(QObject*) {}
    Q_INVOKABLE void GLCadencer1Progress(QObject*, double, double) {}
    Q_INVOKABLE void GLActor1EndFrameReached(QObject*) {}
    Q_INVOKABLE void GLActor2EndFrameReached(QObject*) {}
    Q_INVOKABLE void GLSceneViewer1MouseMove(QObject*, TShiftState, int, int) {}
    Q_INVOKABLE void GLSceneViewer1MouseDown(QObject*, TMouseButton, TShiftState, int, int) {}
};

// A layout names the class of its window. The loading window is the game's
// own; these two stand in for the menu and the fight, whose windows start
// the game itself, without their fields, so that any component may be stored
// under any name.
class TMenu_Jeu : public TFuzzForm
{
    Q_OBJECT

public:
    using TFuzzForm::TFuzzForm;
};

class TJeu : public TFuzzForm
{
    Q_OBJECT

public:
    using TFuzzForm::TFuzzForm;
};

namespace
{
QTemporaryDir* Folder = nullptr;

void MakeStandInPictures(const QDir& folder)
{
    folder.mkpath(QStringLiteral("images"));
    QImage picture(2, 2, QImage::Format_RGB888);
    picture.fill(Qt::darkGreen);
    for (const char* name : {"ground", "wall", "sky1", "sky2", "sky3", "sky4", "sky_bottom", "sky_top", "town1", "town2"})
        if (!picture.save(folder.filePath(QStringLiteral("images/%1.jpg").arg(QLatin1String(name))), "JPG"))
            std::abort();
    if (!picture.save(folder.filePath(QStringLiteral("images/title.png")), "PNG"))
        std::abort();
}
// The window of the class the bytes name, found without parsing them (the
// reader's parser is what is under test); the menu's when they name none.
std::unique_ptr<TForm> WindowFor(QByteArrayView bytes)
{
    if (bytes.contains("\"TJeu\""))
        return std::make_unique<TJeu>(nullptr);
    if (bytes.contains("\"TSplashScreen\""))
        return std::make_unique<TSplashScreen>(nullptr);
    return std::make_unique<TMenu_Jeu>(nullptr);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication application(*argc, *argv);
    RegisterModules();
    Folder = new QTemporaryDir;
    MakeStandInPictures(QDir(Folder->path()));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = Folder->filePath(QStringLiteral("Fuzz.json"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) != static_cast<qint64>(size))
        std::abort();
    file.close();
    const std::unique_ptr<TForm> form = WindowFor(QByteArrayView(data, size));
    try
    {
        TLayoutReader(form.get(), path).Read();
    }
    catch (const Exception& refusal)
    {
        NoteRefusal(refusal);
    }
    return 0;
}

#include "Layout_fuzz.moc"
