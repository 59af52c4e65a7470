#pragma once

#include <QByteArrayView>
#include <QChar>
#include <QProcessEnvironment>
#include <QString>

#include <utility>
#include <vector>

// The player's key layout: which character the windows receive for a typed
// one. A character the layout does not name is received as typed, so an empty
// layout is the game's own keys.
//
// Controls file format, UTF-8 text, one mapping per line:
//     typed = received      # a comment runs to the end of the line
// Each side is one character or a key name (Space, Hash, Equals; any case).
// Blank lines and comments are skipped; a key may be named only once.
class TKeyLayout
{
public:
    TKeyLayout() = default;

    // Reads a controls file's content; `fileName` is named in every error,
    // with the line number. Throws EControlsFileError.
    static TKeyLayout Parse(QByteArrayView content, const QString& fileName);
    static TKeyLayout LoadFromFile(const QString& fileName);

    QChar Map(QChar typed) const;
    bool IsEmpty() const { return FMappings.empty(); }

private:
    // Sorted by the typed character.
    std::vector<std::pair<char16_t, char16_t>> FMappings;
};

// Where the controls file is looked for when none is named:
// $XDG_CONFIG_HOME/stickfight/controls, or ~/.config/stickfight/controls when
// that variable is unset, empty or not an absolute path. Empty when neither
// variable gives a place.
QString DefaultControlsPath(const QProcessEnvironment& environment);
