#include "KeyPose.h"

#include <stdexcept>
#include <string>

namespace Fighter
{

namespace
{

template <class T> struct TChannel
{
    std::optional<T> TKeyPose::*Key;
    T TStance::*Value;
};

constexpr TChannel<TVec3> VectorChannels[] = {
    {&TKeyPose::Pelvis, &TStance::Pelvis},
    {&TKeyPose::PelvisTurn, &TStance::PelvisTurn},
    {&TKeyPose::Spine, &TStance::Spine},
    {&TKeyPose::Chest, &TStance::Chest},
    {&TKeyPose::Neck, &TStance::Neck},
    {&TKeyPose::Head, &TStance::Head},
    {&TKeyPose::LeftHand, &TStance::LeftHand},
    {&TKeyPose::RightHand, &TStance::RightHand},
    {&TKeyPose::LeftFoot, &TStance::LeftFoot},
    {&TKeyPose::RightFoot, &TStance::RightFoot},
    {&TKeyPose::LeftFootTurn, &TStance::LeftFootTurn},
    {&TKeyPose::RightFootTurn, &TStance::RightFootTurn},
};

constexpr TChannel<double> ScalarChannels[] = {
    {&TKeyPose::LeftLift, &TStance::LeftLift},
    {&TKeyPose::RightLift, &TStance::RightLift},
};

template <class T> struct TChannelKey
{
    double Frame;
    T Value;
    TEase Ease;
};

template <class T>
std::vector<TChannelKey<T>> ChannelKeys(const TAnimationScript& script, const TChannel<T>& channel,
                                        const TChannelKey<T>& first, const T& last)
{
    std::vector<TChannelKey<T>> keys{first};
    for (const TKeyPose& key : script.Keys)
    {
        if (!(key.*channel.Key))
            continue;
        if (key.Frame <= first.Frame)
            keys.front().Value = *(key.*channel.Key);
        else
            keys.push_back({key.Frame, *(key.*channel.Key), key.Ease});
    }
    const double lastFrame = script.FrameCount - 1;
    if (keys.back().Frame < lastFrame)
        keys.push_back({lastFrame, last, eaInOut});
    return keys;
}

template <class T> T Interpolate(const std::vector<TChannelKey<T>>& keys, const double frame)
{
    if (frame <= keys.front().Frame)
        return keys.front().Value;
    for (std::size_t i = 1; i < keys.size(); ++i)
    {
        const TChannelKey<T>& from = keys[i - 1];
        const TChannelKey<T>& to = keys[i];
        if (frame <= to.Frame)
            return from.Value + (to.Value - from.Value) * Ease(to.Ease, (frame - from.Frame) / (to.Frame - from.Frame));
    }
    return keys.back().Value;
}

template <class T>
void SampleChannel(const TAnimationScript& script, const TChannel<T>& channel, const double frame, const TStance& start,
                   const double startFrame, const TStance& guard, TStance& out)
{
    const auto keys = ChannelKeys(script, channel, {startFrame, start.*channel.Value, eaInOut}, guard.*channel.Value);
    out.*channel.Value = Interpolate(keys, frame);
}

} // namespace

void CheckKeyOrder(const TAnimationScript& script)
{
    for (std::size_t i = 1; i < script.Keys.size(); ++i)
        if (script.Keys[i].Frame <= script.Keys[i - 1].Frame)
            throw std::invalid_argument(std::string(script.Name) + ": key at frame " +
                                        std::to_string(script.Keys[i].Frame) + " comes after a later key");
}

TStance SampleStance(const TAnimationScript& script, const double frame, const TStance& guard)
{
    if (script.BranchOf && frame <= script.BranchFrame)
        return SampleStance(*script.BranchOf, frame, guard);
    const TStance start = script.BranchOf ? SampleStance(*script.BranchOf, script.BranchFrame, guard) : guard;
    const double startFrame = script.BranchOf ? script.BranchFrame : 0;
    TStance out;
    for (const auto& channel : VectorChannels)
        SampleChannel(script, channel, frame, start, startFrame, guard, out);
    for (const auto& channel : ScalarChannels)
        SampleChannel(script, channel, frame, start, startFrame, guard, out);
    return out;
}

} // namespace Fighter
