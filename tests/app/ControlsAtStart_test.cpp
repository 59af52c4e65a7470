// The player's settings applied at start, seen through a real window.

#include "app/Application.h"
#include "app/Form.h"
#include "app/ProgramOptions.h"
#include "app/Sound.h"

#include "TestApplication.h"

#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>

class TKeyForm : public TForm
{
    Q_OBJECT

public:
    explicit TKeyForm(QObject* AOwner) : TForm(AOwner) {}

    Q_INVOKABLE void FormKeyPress(QObject*, QChar& Key) { FKeys += Key; }

    QString FKeys;
};

class ControlsAtStartTest : public TApplicationTest
{
protected:
    void SetUp() override
    {
        TApplicationTest::SetUp();
        ASSERT_TRUE(FConfigHome.isValid());
        FEnvironment.insert(QStringLiteral("XDG_CONFIG_HOME"), FConfigHome.path());
        FEnvironment.insert(QStringLiteral("HOME"), QStringLiteral("/nonexistent"));
    }

    QString WriteFile(const QString& path, const QByteArray& content) const
    {
        EXPECT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }

    QString WriteConfigFile(const QByteArray& content) const
    {
        return WriteFile(FConfigHome.filePath(QStringLiteral("stickfight/controls")), content);
    }

    // The characters a new window's key handler receives for these presses.
    QString Typed(const std::initializer_list<std::pair<Qt::Key, const char*>> presses)
    {
        TKeyForm* form = nullptr;
        FApplication->CreateForm(form);
        for (const auto& [key, text] : presses)
        {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString::fromUtf8(text));
            QCoreApplication::sendEvent(form, &press);
        }
        return form->FKeys;
    }

    QString TypedWord() { return Typed({{Qt::Key_Z, "z"}, {Qt::Key_Q, "q"}, {Qt::Key_M, "m"}, {Qt::Key_A, "a"}}); }

    void TearDown() override
    {
        SetSoundVolume(100);
        TApplicationTest::TearDown();
    }

    QTemporaryDir FConfigHome;
    QProcessEnvironment FEnvironment;
};

TEST_F(ControlsAtStartTest, AzertyFileInTheConfigFolderReachesTheWindowsKeyHandler)
{
    WriteConfigFile("# AZERTY\nq = a\na = q\nz = w\nw = z\n");
    TProgramOptions options;
    options.Windowed = true;
    ApplyProgramOptions(options, FEnvironment, *FApplication);
    EXPECT_TRUE(FShownFailures.isEmpty()) << FShownFailures.join('\n').toStdString();
    EXPECT_TRUE(FApplication->Windowed());
    // Function keys type nothing and still give the handler nothing.
    EXPECT_EQ(Typed({{Qt::Key_Z, "z"}, {Qt::Key_Q, "q"}, {Qt::Key_F5, ""}, {Qt::Key_E, "e"}, {Qt::Key_A, "a"},
                     {Qt::Key_W, "w"}, {Qt::Key_M, "m"}}),
              "waeqzm");
}

TEST_F(ControlsAtStartTest, NamedFileIsReadInsteadOfTheConfigFolder)
{
    WriteConfigFile("z = w\n");
    TProgramOptions options;
    options.ControlsFile = WriteFile(FConfigHome.filePath(QStringLiteral("mine")), "m = p\n");
    ApplyProgramOptions(options, FEnvironment, *FApplication);
    EXPECT_TRUE(FShownFailures.isEmpty()) << FShownFailures.join('\n').toStdString();
    EXPECT_FALSE(FApplication->Windowed());
    EXPECT_EQ(TypedWord(), "zqpa");
}

TEST_F(ControlsAtStartTest, WithoutAFileTheKeysAreTheGamesOwnAndNothingIsShown)
{
    ApplyProgramOptions({}, FEnvironment, *FApplication);
    EXPECT_TRUE(FShownFailures.isEmpty());
    EXPECT_EQ(TypedWord(), "zqma");
}

TEST_F(ControlsAtStartTest, FileWithAnErrorIsShownOnceWithItsLineAndNoKeyMoves)
{
    // A good layout first, as if it had been set before: nothing of it stays.
    FApplication->SetKeyLayout(TKeyLayout::Parse("m = p", QStringLiteral("earlier")));
    const QString path = WriteConfigFile("q = a\nz = w\nspcae = p\n");
    ApplyProgramOptions({}, FEnvironment, *FApplication);
    EXPECT_EQ(FShownFailures, QStringList{QStringLiteral("Controls file \"%1\", line 3: unknown key name \"spcae\". "
                                                         "The game's own keys are used.")
                                              .arg(path)});
    EXPECT_EQ(TypedWord(), "zqma");
}

TEST_F(ControlsAtStartTest, UnreadableNamedFileIsShownAndNoKeyMoves)
{
    WriteConfigFile("z = w\n");
    TProgramOptions options;
    options.ControlsFile = FConfigHome.path();
    ApplyProgramOptions(options, FEnvironment, *FApplication);
    EXPECT_EQ(FShownFailures, QStringList{QStringLiteral("Cannot read the controls file \"%1\": it is a folder. "
                                                         "The game's own keys are used.")
                                              .arg(FConfigHome.path())});
    EXPECT_EQ(TypedWord(), "zqma");
}

TEST_F(ControlsAtStartTest, VolumeAndMuteSetTheSoundLevel)
{
    TProgramOptions options;
    options.Volume = 37;
    ApplyProgramOptions(options, FEnvironment, *FApplication);
    EXPECT_EQ(SoundVolume(), 37);
    options.Mute = true;
    ApplyProgramOptions(options, FEnvironment, *FApplication);
    EXPECT_EQ(SoundVolume(), 0);
    ApplyProgramOptions({}, FEnvironment, *FApplication);
    EXPECT_EQ(SoundVolume(), 100);
}

#include "ControlsAtStart_test.moc"
