#include "Town.h"

#include "Shapes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

namespace
{
// Below the arena's floor by more than the depth buffer resolves at the
// distances the fight's camera sees, so the floor never flickers with them.
constexpr double GroundHeight = -0.12;
constexpr double PavingHeight = -0.06;
constexpr double SquareHalfSide = 24;
constexpr double TownHalfSide = 160;
constexpr double StreetHalfWidth = 5;
constexpr double StreetEnd = 120;

// A house stands with its front's middle at `Front`, facing `Facing` degrees
// (0 east, 90 north), in local units: x along the front, y back into the
// house, z up.
struct THouse
{
    TVec2 Front;
    double Facing;
    double Width;
    double Depth;
    double Eaves;
    double RoofRise;
};

// The houses' sizes cycle through these, so neighbours differ.
struct THouseShape
{
    double Width, Depth, Eaves, RoofRise;
};
constexpr std::array<THouseShape, 7> HouseShapes{{
    {8, 9, 7, 4},
    {6.5, 8, 9.5, 3.5},
    {9.5, 10, 6.2, 4.5},
    {7, 8.5, 8.2, 3.2},
    {8.5, 9, 10.5, 4},
    {6, 7.5, 7.4, 3.8},
    {7.5, 9.5, 8.8, 3},
}};

// A row of houses side by side from `Start` along `Along` for `Length`
// units, fronts facing `Facing`.
struct THouseRow
{
    TVec2 Start;
    TVec2 Along;
    double Length;
    double Facing;
};

// The square's four sides, broken where the streets leave it (east, west
// and south) and where the church stands (north); then both sides of each
// street.
constexpr double Side = SquareHalfSide;
constexpr double Gap = StreetHalfWidth;
constexpr double Walk = StreetHalfWidth + 2;
constexpr std::array<THouseRow, 14> HouseRows{{
    {{-Side, -Side}, {1, 0}, Side - Gap, 90},
    {{Gap, -Side}, {1, 0}, Side - Gap, 90},
    {{Side, -Side}, {0, 1}, Side - Gap, 180},
    {{Side, Gap}, {0, 1}, Side - Gap, 180},
    {{-Side, Side}, {0, -1}, Side - Gap, 0},
    {{-Side, -Gap}, {0, -1}, Side - Gap, 0},
    {{Side, Side}, {-1, 0}, Side - 9, -90},
    {{-9, Side}, {-1, 0}, Side - 9, -90},
    {{Side + 10, Walk}, {1, 0}, 60, -90},
    {{Side + 10, -Walk}, {1, 0}, 60, 90},
    {{-Side - 10, -Walk}, {-1, 0}, 60, 90},
    {{-Side - 10, Walk}, {-1, 0}, 60, -90},
    {{-Walk, -Side - 10}, {0, -1}, 60, 0},
    {{Walk, -Side - 10}, {0, -1}, 60, 180},
}};

struct TTree
{
    TVec2 At;
    bool Conifer;
};
constexpr std::array<TTree, 16> Trees{{
    {{-18, -11}, false}, {{-18, 11}, false}, {{18, -11}, false}, {{18, 11}, false},
    {{-11, -18}, false}, {{11, -18}, false},  {{-11, 19}, true},  {{11, 19}, true},
    {{16, 16}, false},   {{-16, -16}, false}, {{40, 0}, true},    {{-40, 0}, true},
    {{0, -40}, true},    {{-14, 44}, false},  {{14, 44}, false},  {{60, 14}, true},
}};

constexpr TVec2 FountainAt{-17.5, 16.5};
constexpr TVec2 WellAt{3.5, 14};

std::string Numbered(const char* stem, const size_t number)
{
    const std::string digits = std::to_string(number);
    return stem + std::string(digits.size() < 2 ? 2 - digits.size() : 0, '0') + digits;
}

TTransform Placement(const TVec2 at, const double facingDegrees)
{
    // The front faces local -y, so local -y turns to the facing direction.
    return TTransform::TurnZ(Radians(facingDegrees + 90), {at.X, at.Y, 0});
}

// Sills, lintels and shutters stand out of the front, so the windows show as
// lit edges and shaded undersides.
void AddWindow(TMeshPart& house, const double x, const double bottom, const double height)
{
    constexpr double halfWidth = 0.6;
    house.Append(Box({x - halfWidth - 0.15, -0.25, bottom - 0.15}, {x + halfWidth + 0.15, 0, bottom}));
    house.Append(Box({x - halfWidth - 0.1, -0.15, bottom + height}, {x + halfWidth + 0.1, 0, bottom + height + 0.25}));
    house.Append(Box({x - halfWidth - 0.55, -0.12, bottom}, {x - halfWidth - 0.05, 0, bottom + height}));
    house.Append(Box({x + halfWidth + 0.05, -0.12, bottom}, {x + halfWidth + 0.55, 0, bottom + height}));
}

void AddDoor(TMeshPart& house, const double x)
{
    house.Append(Box({x - 1.0, -0.2, 0}, {x - 0.75, 0, 2.6}));
    house.Append(Box({x + 0.75, -0.2, 0}, {x + 1.0, 0, 2.6}));
    house.Append(Box({x - 1.1, -0.35, 2.6}, {x + 1.1, 0, 2.95}));
    house.Append(Box({x - 1.2, -0.9, 0}, {x + 1.2, 0, 0.18}));
}

TMeshPart HouseAt(const THouse& plan)
{
    TMeshPart house;
    const double half = plan.Width / 2;
    house.Append(Box({-half, 0, 0}, {half, plan.Depth, plan.Eaves}));
    house.Append(GableRoof(-half - 0.4, half + 0.4, -0.7, plan.Depth + 0.7, plan.Eaves, plan.Eaves + plan.RoofRise));
    const double chimneyX = half * 0.5;
    house.Append(Box({chimneyX - 0.45, plan.Depth * 0.6, plan.Eaves}, {chimneyX + 0.45, plan.Depth * 0.6 + 0.9,
                                                                        plan.Eaves + plan.RoofRise + 0.8}));
    const int columns = std::max(2, static_cast<int>(plan.Width / 2.6));
    const int floors = std::max(2, static_cast<int>(plan.Eaves / 3.0));
    const int doorColumn = columns / 2;
    for (int floor = 0; floor < floors; ++floor)
        for (int column = 0; column < columns; ++column)
        {
            const double x = -half + plan.Width * (column + 0.5) / columns;
            if (floor == 0 && column == doorColumn)
                AddDoor(house, x);
            else
                AddWindow(house, x, 1.0 + floor * 3.0, 1.5);
        }
    house.Transform(Placement(plan.Front, plan.Facing));
    return house;
}

void AddHouses(std::vector<TMeshPart>& town)
{
    size_t shape = 0;
    for (const THouseRow& row : HouseRows)
    {
        double along = 0;
        while (true)
        {
            const THouseShape& s = HouseShapes[shape % HouseShapes.size()];
            if (along + s.Width > row.Length + 0.01)
                break;
            const double middle = along + s.Width / 2;
            TMeshPart house = HouseAt({row.Start + row.Along * middle, row.Facing, s.Width, s.Depth, s.Eaves,
                                       s.RoofRise});
            house.Name = "House";
            town.push_back(std::move(house));
            along += s.Width;
            ++shape;
        }
    }
}

// The church faces the square from the north: a tower with a spire over the
// door, the nave behind it with buttresses, a round apse at its far end.
void AddChurch(std::vector<TMeshPart>& town)
{
    const TTransform placement = Placement({0, Side}, -90);
    TMeshPart nave;
    nave.Name = "Church";
    const double naveStart = 5, naveEnd = 28, half = 6.5, eaves = 11;
    nave.Append(Box({-half, naveStart, 0}, {half, naveEnd, eaves}));
    // The roof's ridge runs back from the square: the roof is built across x
    // and turned a quarter.
    TMeshPart roof = GableRoof(naveStart - 0.6, naveEnd + 0.6, -half - 0.6, half + 0.6, eaves, eaves + 6);
    nave.Append(roof, {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}, {}});
    for (double y = naveStart + 4; y < naveEnd; y += 5)
        for (const double side : {-1.0, 1.0})
        {
            const double inner = side * half, outer = side * (half + 1.2);
            nave.Append(Box({std::min(inner, outer), y - 0.5, 0}, {std::max(inner, outer), y + 0.5, eaves - 2}));
            nave.Append(Box({side * (half + 0.05) - 0.6, y + 1.6, 3}, {side * (half + 0.05) + 0.6, y + 2.4, 8}));
        }
    nave.Append(Frustum(5.5, 5.5, 9, 24), TTransform::Translation({0, naveEnd, 0}));
    nave.Append(Frustum(6.2, 0, 4.5, 24), TTransform::Translation({0, naveEnd, 9}));
    nave.Transform(placement);
    town.push_back(std::move(nave));

    TMeshPart tower;
    tower.Name = "Tower";
    tower.Append(Box({-3.2, -1, 0}, {3.2, 5.4, 26}));
    tower.Append(Box({-3.6, -1.4, 0}, {3.6, 5.8, 1.2}));
    tower.Append(Box({-3.5, -1.3, 17.5}, {3.5, 5.7, 18.2}));
    tower.Append(Box({-3.6, -1.4, 25.5}, {3.6, 5.8, 26.3}));
    // Belfry louvres on the front and the clock below them.
    for (const double x : {-1.4, 1.4})
        tower.Append(Box({x - 0.7, -1.35, 19.5}, {x + 0.7, -1, 24}));
    tower.Append(Frustum(1.6, 1.6, 0.3, 24), {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}, {0, -1, 14.5}});
    // The door and its steps.
    tower.Append(Box({-1.7, -1.5, 0}, {-1.2, -1, 4.2}));
    tower.Append(Box({1.2, -1.5, 0}, {1.7, -1, 4.2}));
    tower.Append(Box({-1.9, -1.6, 4.2}, {1.9, -1, 4.8}));
    tower.Append(Box({-2.6, -3.2, 0}, {2.6, -1, 0.25}));
    tower.Append(Box({-2.2, -2.4, 0.25}, {2.2, -1, 0.5}));
    // A square spire: a four-sided cone turned an eighth so its sides line up
    // with the tower's.
    tower.Append(Frustum(4.6, 0, 13, 4), TTransform::TurnZ(Radians(45), {0, 2.2, 26.3}));
    tower.Append(Tube({0, 2.2, 39.3}, {0, 2.2, 41.5}, 0.12, 6));
    tower.Append(Tube({-0.8, 2.2, 40.6}, {0.8, 2.2, 40.6}, 0.12, 6));
    tower.Transform(placement);
    town.push_back(std::move(tower));
}

void AddTrees(std::vector<TMeshPart>& town)
{
    for (size_t i = 0; i < Trees.size(); ++i)
    {
        const TTree& plan = Trees[i];
        TMeshPart tree;
        tree.Name = "Tree";
        const TTransform at = TTransform::Translation({plan.At.X, plan.At.Y, 0});
        if (plan.Conifer)
        {
            tree.Append(Frustum(0.35, 0.25, 2.5, 8), at);
            for (int tier = 0; tier < 3; ++tier)
                tree.Append(Frustum(2.6 - 0.6 * tier, 0, 4.2 - 0.6 * tier, 16),
                            TTransform::Translation({plan.At.X, plan.At.Y, 2.0 + 2.4 * tier}));
        }
        else
        {
            tree.Append(Frustum(0.4, 0.28, 3.6, 8), at);
            tree.Append(Ellipsoid({2.6, 2.6, 2.9}, 16, 10), TTransform::Translation({plan.At.X, plan.At.Y, 5.8}));
            tree.Append(Ellipsoid({1.6, 1.6, 1.8}, 12, 8),
                        TTransform::Translation({plan.At.X + 1.2, plan.At.Y - 0.8, 7.6}));
        }
        town.push_back(std::move(tree));
    }
}

void AddFountain(std::vector<TMeshPart>& town)
{
    TMeshPart fountain;
    fountain.Name = "Fountain";
    const TTransform at = TTransform::Translation({FountainAt.X, FountainAt.Y, 0});
    fountain.Append(Frustum(3.4, 3.4, 0.25, 32), at);
    fountain.Append(Frustum(3.0, 3.1, 0.9, 32), at);
    fountain.Append(Frustum(0.5, 0.35, 2.4, 16), at);
    fountain.Append(Frustum(0.4, 1.6, 0.5, 24), TTransform::Translation({FountainAt.X, FountainAt.Y, 2.4}));
    fountain.Append(Ellipsoid({0.45, 0.45, 0.6}, 16, 10), TTransform::Translation({FountainAt.X, FountainAt.Y, 3.3}));
    town.push_back(std::move(fountain));

    TMeshPart well;
    well.Name = "Well";
    const TTransform wellAt = TTransform::Translation({WellAt.X, WellAt.Y, 0});
    well.Append(Frustum(1.3, 1.3, 1.1, 20), wellAt);
    for (const double x : {-1.1, 1.1})
        well.Append(Box({WellAt.X + x - 0.12, WellAt.Y - 0.12, 1.1}, {WellAt.X + x + 0.12, WellAt.Y + 0.12, 3}));
    well.Append(GableRoof(WellAt.X - 1.6, WellAt.X + 1.6, WellAt.Y - 1.5, WellAt.Y + 1.5, 3, 3.9));
    well.Append(Tube({WellAt.X - 1.1, WellAt.Y, 2.3}, {WellAt.X + 1.1, WellAt.Y, 2.3}, 0.1, 8));
    town.push_back(std::move(well));
}

// Four rectangles around an inner one: south and north across the whole
// width, west and east between them.
TMeshPart Frame(const double inner, const double outer, const double z)
{
    TMeshPart part;
    part.Append(Rectangle({-outer, -outer}, {outer, -inner}, z));
    part.Append(Rectangle({-outer, inner}, {outer, outer}, z));
    part.Append(Rectangle({-outer, -inner}, {-inner, inner}, z));
    part.Append(Rectangle({inner, -inner}, {outer, inner}, z));
    return part;
}

// The ground around the square, the square's paving with the arena left out,
// the streets and their kerbs. Everything here lies below the camera, behind
// the arena's walls, so a few large faces serve as well as a fine grid and
// cost far less to set up.
void AddGround(std::vector<TMeshPart>& town)
{
    TMeshPart ground = Frame(SquareHalfSide, TownHalfSide, GroundHeight);
    ground.Name = "Ground";
    town.push_back(std::move(ground));

    TMeshPart square = Frame(ArenaHalfSide, SquareHalfSide, PavingHeight);
    square.Name = "Square";
    town.push_back(std::move(square));

    TMeshPart streets;
    streets.Name = "Streets";
    streets.Append(Rectangle({Side, -StreetHalfWidth}, {StreetEnd, StreetHalfWidth}, PavingHeight));
    streets.Append(Rectangle({-StreetEnd, -StreetHalfWidth}, {-Side, StreetHalfWidth}, PavingHeight));
    streets.Append(Rectangle({-StreetHalfWidth, -StreetEnd}, {StreetHalfWidth, -Side}, PavingHeight));
    for (const double side : {-1.0, 1.0})
    {
        const double y = side * StreetHalfWidth;
        streets.Append(Box({Side, y - 0.2, PavingHeight}, {StreetEnd, y + 0.2, 0.15}));
        streets.Append(Box({-StreetEnd, y - 0.2, PavingHeight}, {-Side, y + 0.2, 0.15}));
        streets.Append(Box({y - 0.2, -StreetEnd, PavingHeight}, {y + 0.2, -Side, 0.15}));
    }
    town.push_back(std::move(streets));
}

} // namespace

TVec3 TownToModel(const TVec3 point)
{
    return point * (1 / TownUnitsPerModelUnit) + TVec3{0, 0, FloorModelHeight};
}

std::vector<TMeshPart> Town()
{
    std::vector<TMeshPart> town;
    // Near things first: what they hide is then rejected by the depth test
    // before it is shaded.
    AddTrees(town);
    AddFountain(town);
    AddHouses(town);
    AddChurch(town);
    AddGround(town);
    const TTransform toModel{{1 / TownUnitsPerModelUnit, 0, 0},
                             {0, 1 / TownUnitsPerModelUnit, 0},
                             {0, 0, 1 / TownUnitsPerModelUnit},
                             {0, 0, FloorModelHeight}};
    size_t houses = 0, trees = 0;
    for (TMeshPart& part : town)
    {
        if (part.Name == "House")
            part.Name = Numbered("House", ++houses);
        else if (part.Name == "Tree")
            part.Name = Numbered("Tree", ++trees);
        part.Transform(toModel);
    }
    return town;
}
