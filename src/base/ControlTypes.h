#pragma once

#include <QFlags>
#include <QObject>
#include <Qt>

// Enumerations shared by forms and controls, named as layouts store them.
namespace ControlTypes
{
Q_NAMESPACE

enum TBorderStyle
{
    bsNone,
    bsSingle,
    bsSizeable,
    bsDialog,
    bsToolWindow,
    bsSizeToolWin,
};
Q_ENUM_NS(TBorderStyle)

enum TWindowState
{
    wsNormal,
    wsMinimized,
    wsMaximized,
};
Q_ENUM_NS(TWindowState)

enum TPosition
{
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter,
};
Q_ENUM_NS(TPosition)

enum TCursor
{
    crDefault = 0,
    crNone = -1,
    crArrow = -2,
    crCross = -3,
    crIBeam = -4,
    crSizeNESW = -6,
    crSizeNS = -7,
    crSizeNWSE = -8,
    crSizeWE = -9,
    crUpArrow = -10,
    crHourGlass = -11,
    crDrag = -12,
    crNoDrop = -13,
    crHSplit = -14,
    crVSplit = -15,
    crMultiDrag = -16,
    crSQLWait = -17,
    crNo = -18,
    crAppStart = -19,
    crHelp = -20,
    crHandPoint = -21,
    crSizeAll = -22,
};
Q_ENUM_NS(TCursor)

enum TShiftStateFlag
{
    ssShift = 1 << 0,
    ssAlt = 1 << 1,
    ssCtrl = 1 << 2,
    ssLeft = 1 << 3,
    ssRight = 1 << 4,
    ssMiddle = 1 << 5,
    ssDouble = 1 << 6,
};
Q_DECLARE_FLAGS(TShiftState, TShiftStateFlag)
Q_FLAG_NS(TShiftState)

enum TMouseButton
{
    mbLeft,
    mbRight,
    mbMiddle,
};
Q_ENUM_NS(TMouseButton)
} // namespace ControlTypes
using namespace ControlTypes;

Q_DECLARE_OPERATORS_FOR_FLAGS(ControlTypes::TShiftState)

// The Qt cursor shape that shows a stored cursor.
Qt::CursorShape CursorShape(TCursor cursor);
// The shift state of a Qt input event: keys held and mouse buttons down.
TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);
TMouseButton MouseButtonOf(Qt::MouseButton button);
