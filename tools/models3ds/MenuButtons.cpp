#include "MenuButtons.h"

#include <algorithm>
#include <cmath>

namespace
{
// The menu camera: at (10, 0, 0) looking at the origin with focal length
// 39.9998664855957 through a 1450 x 930 viewer at 96 dpi. A point at
// distance d ahead and offset (right, up) is seen at
// centre + (right, -up) / d * PixelsPerSlope.
constexpr double CameraX = 10;
constexpr double ViewerWidth = 1450;
constexpr double ViewerHeight = 930;
constexpr double PixelsPerSlope = 39.9998664855957 * 2 * 96 / 25.4;

// Thin, because the words lie far out to the side of a very wide view:
// deeper letters would show so much of their sides that these would close
// the gaps and holes of the letters next to them.
constexpr double LetterDepth = 0.1;
} // namespace

// The free forms' stored orientation (direction (0, 1, 0), up (-1, 0, 0))
// sends model x to world -z, which the camera shows to the right, model y to
// world -x, away from the camera, and model z to world +y, up.
const TMenuButton PlayButton{"PLAY", "Play", {2, -8, 20}, 1.5, {900, 300}, 1.6};
const TMenuButton OptionsButton{"OPTIONS", "Options", {2, -8, 0}, 1.5, {1060, 480}, 1.0};
const TMenuButton QuitButton{"QUIT", "Quit", {-3, -13, -33}, 2.5, {1220, 660}, 1.4};

TVec3 ModelPointSeenAt(const TMenuButton& button, const TVec2 pixel)
{
    const double distance = CameraX - button.Position.X;
    const double right = (pixel.X - ViewerWidth / 2) * distance / PixelsPerSlope;
    const double up = (ViewerHeight / 2 - pixel.Y) * distance / PixelsPerSlope;
    // world z = position z - scale * x; world y = position y + scale * z.
    return {(button.Position.Z + right) / button.Scale, 0, (up - button.Position.Y) / button.Scale};
}

namespace
{
TSolidWord WordOf(const TMenuButton& button)
{
    return ExtrudeWord(button.Text, button.ObjectPrefix, button.CapHeight, LetterDepth);
}

// Each letter placed by its own transform (about the word's centre), then
// the whole word moved to where the camera shows it.
std::vector<TMeshPart> Posed(const TMenuButton& button, const TSolidWord& word,
                             const std::vector<TTransform>& letterPoses)
{
    const TTransform toScreen = TTransform::Translation(ModelPointSeenAt(button, button.ScreenCentre));
    std::vector<TMeshPart> letters;
    for (size_t i = 0; i < word.Letters.size(); ++i)
    {
        TMeshPart letter;
        letter.Name = word.Letters[i].Name;
        letter.Append(word.Letters[i], toScreen.After(letterPoses[i]));
        letters.push_back(std::move(letter));
    }
    return letters;
}

// A turn by `radians` about `axis` through `centre`.
TTransform TurnAbout(const TVec3 centre, const TVec3 axis, const double radians)
{
    return TTransform::Translation(centre).After(TTransform::Rotation(axis, radians).After(
        TTransform::Translation(-centre)));
}
} // namespace

std::vector<TMeshPart> ButtonAtRest(const TMenuButton& button)
{
    const TSolidWord word = WordOf(button);
    return Posed(button, word, std::vector<TTransform>(word.Letters.size()));
}

std::vector<TMeshPart> HoverFrame(const TMenuButton& button, const int frame, const int period)
{
    const TSolidWord word = WordOf(button);
    const double phase = 2 * Pi * (frame - 1) / period;
    // Zero at rest, one halfway through the loop; every term below is a whole
    // number of waves per loop, so the last frame leads back into the first.
    const double swell = (1 - std::cos(phase)) / 2;
    const TTransform wordPose = TTransform::Scaling(1 + 0.12 * swell)
                                     .After(TTransform::Rotation({0, 1, 0}, Radians(5) * std::sin(phase)));
    std::vector<TTransform> poses;
    const auto count = static_cast<double>(word.Letters.size());
    for (size_t i = 0; i < word.Letters.size(); ++i)
    {
        const double bob = 0.18 * button.CapHeight * swell * std::sin(2 * phase - 2 * Pi * i / count);
        const double tilt = Radians(8) * swell * std::sin(2 * phase + 2 * Pi * i / count);
        poses.push_back(wordPose.After(TTransform::Translation({0, 0, bob})
                                            .After(TurnAbout(word.LetterCentres[i], {0, 1, 0}, tilt))));
    }
    return Posed(button, word, poses);
}

namespace
{
struct TLetterFlight
{
    TVec3 Direction; // in the word's plane, x right, z up
    TVec3 SpinAxis;
    double SpinPerFrame;
};

// The letters leave in turn, fanning out from the word's middle.
TLetterFlight FlightOf(const size_t index, const size_t count)
{
    const double spread = count > 1 ? static_cast<double>(index) / static_cast<double>(count - 1) : 0.5;
    const double angle = Radians(150 - 120 * spread) + (index % 2 ? -0.5 : 0.35);
    const TVec3 direction{std::cos(angle), 0, std::sin(angle)};
    const TVec3 axis = Normalized(TVec3{std::sin(angle), index % 2 ? 1.0 : -1.0, 0.3});
    return {direction, axis, Radians(index % 2 ? 21 : -17)};
}
} // namespace

std::vector<TMeshPart> BurstFrame(const TMenuButton& button, const int frame, const int frames)
{
    const TSolidWord word = WordOf(button);
    const auto count = word.Letters.size();
    // Frames 1 to 3 gather; then a letter leaves every third frame, and the
    // last one still has time to cross the picture's edge.
    constexpr int gatherFrames = 3;
    const int stagger = std::max(1, (frames - gatherFrames - 14) / static_cast<int>(count));
    const double gather = std::min(1.0, (frame - 1) / static_cast<double>(gatherFrames));
    const TTransform wordPose = TTransform::Scaling(1 + 0.08 * gather);
    std::vector<TTransform> poses;
    for (size_t i = 0; i < count; ++i)
    {
        const double t = frame - (gatherFrames + 1 + static_cast<int>(i) * stagger);
        if (t <= 0)
        {
            poses.push_back(wordPose);
            continue;
        }
        const TLetterFlight flight = FlightOf(i, count);
        const double travel = (0.25 * t + 0.045 * t * t) * button.CapHeight;
        const double towardsViewer = 3.2 * (1 - std::exp(-t / 6));
        const TVec3 offset = flight.Direction * travel + TVec3{0, -towardsViewer, 0};
        poses.push_back(TTransform::Translation(offset).After(
            TurnAbout(wordPose.Apply(word.LetterCentres[i]), flight.SpinAxis, flight.SpinPerFrame * t)
                .After(wordPose)));
    }
    return Posed(button, word, poses);
}
