// Makes the game's 3DS models into the data tree given as the only argument:
// the town in bin/, the menu's words and stick fighter in bin/ and their
// frame sequences in Anime/.
#include "MenuButtons.h"
#include "StickFighter.h"
#include "Town.h"
#include "Writer3DS.h"

#include <exception>
#include <filesystem>
#include <iostream>
#include <string>

namespace
{
constexpr int PlayHoverPeriod = 25;
constexpr int QuitHoverPeriod = 11;
constexpr int StartFrames = 26;

const T3DSMaterialSpec TownMaterial{"Stone", 190, 184, 172};
const T3DSMaterialSpec MenuMaterial{"Black", 0, 0, 0};

void SaveSequence(const std::filesystem::path& folder, const std::string& stem, const int count,
                  const auto& frameAt)
{
    for (int frame = 1; frame <= count; ++frame)
        Save3DS(folder / (stem + std::to_string(frame) + ".3ds"), frameAt(frame), MenuMaterial);
}

void MakeModels(const std::filesystem::path& gameDir)
{
    const std::filesystem::path bin = gameDir / "bin";
    const std::filesystem::path anime = gameDir / "Anime";
    Save3DS(bin / "Miniville.3ds", Town(), TownMaterial);
    Save3DS(bin / "Option1.3ds", ButtonAtRest(OptionsButton), MenuMaterial);
    Save3DS(bin / "Stick.3ds", StickFighter(), MenuMaterial);
    // Each hover file set holds one frame more than its loop shows: the last
    // is the first again.
    SaveSequence(anime / "Play", "Play", PlayHoverPeriod + 1,
                 [](const int frame) { return HoverFrame(PlayButton, frame, PlayHoverPeriod); });
    SaveSequence(anime / "Quit", "Quit", QuitHoverPeriod + 1,
                 [](const int frame) { return HoverFrame(QuitButton, frame, QuitHoverPeriod); });
    SaveSequence(anime / "Play_game", "Play_game", StartFrames,
                 [](const int frame) { return BurstFrame(PlayButton, frame, StartFrames); });
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::cerr << "usage: make_models <game data folder>\n";
        return 2;
    }
    try
    {
        MakeModels(argv[1]);
    }
    catch (const std::exception& error)
    {
        std::cerr << "make_models: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
