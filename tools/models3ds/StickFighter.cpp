#include "StickFighter.h"

#include "Shapes.h"

namespace
{
// The pose in body units (about 1.76 tall, feet at z = 0): the front leg
// forward and bent, the back leg braced, the front fist out at head height
// and the rear fist guarding the chin. The front limbs are the ones nearer
// the viewer.
constexpr TVec3 Hip{0, 0, 0.95};
constexpr TVec3 Neck{0.09, 0, 1.44};
constexpr TVec3 HeadCentre{0.13, 0, 1.63};
constexpr double HeadRadius = 0.12;

constexpr TVec3 FrontHip{0.02, -0.05, 0.95}, FrontKnee{0.30, -0.06, 0.55}, FrontAnkle{0.36, -0.06, 0.07};
constexpr TVec3 BackHip{-0.02, 0.05, 0.95}, BackKnee{-0.24, 0.06, 0.52}, BackAnkle{-0.46, 0.06, 0.08};
constexpr TVec3 FrontShoulder{0.10, -0.07, 1.41}, FrontElbow{0.33, -0.09, 1.26}, FrontFist{0.56, -0.08, 1.47};
constexpr TVec3 BackShoulder{0.07, 0.07, 1.41}, BackElbow{0.19, 0.09, 1.16}, BackFist{0.27, 0.07, 1.49};

constexpr double LimbRadius = 0.045;
constexpr double BodyRadius = 0.065;
constexpr int BarSides = 12;

// Scales body units to the model: 1.76 body units are 0.47 model units,
// which the menu's scale of 55 shows about 780 pixels tall.
constexpr double ModelPerBodyUnit = 0.267;
constexpr double BodyMiddle = 0.88;

TMeshPart Ball(const TVec3 centre, const double radius)
{
    TMeshPart ball;
    ball.Append(Ellipsoid({radius, radius, radius}, 16, 10), TTransform::Translation(centre));
    return ball;
}

TMeshPart Limb(const std::string& name, const TVec3 root, const TVec3 joint, const TVec3 end, const TVec3 tip,
               const TVec3 tipRadii)
{
    TMeshPart limb;
    limb.Name = name;
    limb.Append(Tube(root, joint, LimbRadius, BarSides));
    limb.Append(Ball(joint, LimbRadius * 1.15));
    limb.Append(Tube(joint, end, LimbRadius, BarSides));
    limb.Append(Ellipsoid(tipRadii, 16, 10), TTransform::Translation(tip));
    return limb;
}

TMeshPart Body()
{
    TMeshPart body;
    body.Name = "Body";
    body.Append(Tube(Hip, Neck, BodyRadius, BarSides));
    body.Append(Ball(Hip, BodyRadius * 1.1));
    body.Append(Ball(Neck, BodyRadius));
    body.Append(Tube(FrontShoulder, BackShoulder, LimbRadius, BarSides));
    body.Append(Tube(FrontHip, BackHip, LimbRadius, BarSides));
    return body;
}
} // namespace

std::vector<TMeshPart> StickFighter()
{
    TMeshPart head;
    head.Name = "Head";
    head.Append(Ball(HeadCentre, HeadRadius));
    head.Append(Tube(Neck, HeadCentre, LimbRadius, BarSides));

    // Feet are flattened balls pointing forward, fists round balls.
    const TVec3 footRadii{0.09, 0.05, 0.045};
    std::vector<TMeshPart> parts{
        head,
        Body(),
        Limb("ArmFront", FrontShoulder, FrontElbow, FrontFist, FrontFist, {0.07, 0.07, 0.07}),
        Limb("ArmBack", BackShoulder, BackElbow, BackFist, BackFist, {0.07, 0.07, 0.07}),
        Limb("LegFront", FrontHip, FrontKnee, FrontAnkle, FrontAnkle + TVec3{0.06, 0, -0.025}, footRadii),
        Limb("LegBack", BackHip, BackKnee, BackAnkle, BackAnkle + TVec3{0.06, 0, -0.035}, footRadii),
    };
    const TTransform toModel{{ModelPerBodyUnit, 0, 0},
                             {0, ModelPerBodyUnit, 0},
                             {0, 0, ModelPerBodyUnit},
                             {0, 0, -BodyMiddle * ModelPerBodyUnit}};
    for (TMeshPart& part : parts)
        part.Transform(toModel);
    return parts;
}
