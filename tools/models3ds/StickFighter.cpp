#include "StickFighter.h"

#include "Shapes.h"

namespace
{
// The pose in body units (about 1.7 tall, feet at z = 0): the front leg
// forward and bent, the back leg braced, the front fist out at head height
// and the rear fist guarding the chin. The front limbs are the ones nearer
// the viewer.
constexpr TVec3 Hip{0, 0, 0.88};
constexpr TVec3 Neck{0.11, 0, 1.38};
constexpr TVec3 HeadCentre{0.16, 0, 1.57};
constexpr double HeadRadius = 0.12;

constexpr TVec3 FrontHip{0.02, -0.05, 0.88}, FrontKnee{0.34, -0.06, 0.50}, FrontAnkle{0.36, -0.06, 0.07};
constexpr TVec3 BackHip{-0.02, 0.05, 0.88}, BackKnee{-0.22, 0.06, 0.47}, BackAnkle{-0.50, 0.06, 0.08};
constexpr TVec3 FrontShoulder{0.12, -0.07, 1.35}, FrontElbow{0.36, -0.09, 1.22}, FrontFist{0.58, -0.08, 1.42};
constexpr TVec3 BackShoulder{0.09, 0.07, 1.35}, BackElbow{0.21, 0.09, 1.10}, BackFist{0.30, 0.07, 1.43};

constexpr double LimbRadius = 0.045;
constexpr double BodyRadius = 0.065;
constexpr int BarSides = 12;

// Scales body units to the model: 1.7 body units are 0.45 model units,
// which the menu's scale of 55 shows about 750 pixels tall.
constexpr double ModelPerBodyUnit = 0.267;
constexpr double BodyMiddle = 0.85;
constexpr double DepthFactor = 0.3;

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
    // Flattened front to back: at the menu's scale a round head would stand
    // nearly two units out towards the camera, and the wide view would stretch
    // it far beyond its outline.
    const TTransform toModel{{ModelPerBodyUnit, 0, 0},
                             {0, ModelPerBodyUnit * DepthFactor, 0},
                             {0, 0, ModelPerBodyUnit},
                             {0, 0, -BodyMiddle * ModelPerBodyUnit}};
    for (TMeshPart& part : parts)
        part.Transform(toModel);
    return parts;
}
