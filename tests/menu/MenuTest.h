#pragma once

#include "menu/Inter.h"

#include "TestApplication.h"

#include <QPoint>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <vector>

// A menu window standing in a data tree of its own, made of links to the
// generated game data, with its timer off: the tests run the ticks
// themselves and move the pointer with real mouse events over the viewer.
class TMenuTest : public TApplicationTest
{
protected:
    void SetUp() override;
    void TearDown() override;

    // The program's directory "bin" (the start-up directory) with the menu's
    // two meshes and the town, and "Anime", "Sons" and "Combo" beside it.
    // `missing` (a path relative to the tree) is left out.
    void MakeDataTree(const QString& missing = {});
    QString TreePath(const QString& relative) const;
    // Creates the menu as the program does, shows it and waits for its first
    // frame; the timer is stopped unless `keepTimer`.
    TMenu_Jeu& CreateMenu(bool keepTimer = false);

    void Tick() { FMenu->AsyncTimer1Timer(FMenu->AsyncTimer1); }
    void MoveTo(const QPoint& point);
    void Press(Qt::MouseButton button, const QPoint& point);

    // A point of the viewer where `mesh` is drawn, worked out from the mesh's
    // triangles and the camera's placement: the centre of its `rank`-th
    // largest triangle on screen.
    QPoint PointOn(TGLFreeForm& mesh, int rank = 0) const;
    // A point of the viewer outside every button and the fighter.
    QPoint Background() const;

    std::unique_ptr<QTemporaryDir> FTree;
    QString FStartDirectory;
    TMenu_Jeu* FMenu = nullptr;
};

// The menu module's state as a fresh program has it.
void ResetMenuState();

// A mesh's triangles as loaded, to tell which file a button shows.
std::vector<float> MeshShape(const TGLFreeForm& mesh);
// The triangles of a game file, read into a free form of its own.
std::vector<float> FileShape(const QString& path);
