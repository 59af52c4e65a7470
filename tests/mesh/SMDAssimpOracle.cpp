#include "SMDAssimpOracle.h"

#include "AssimpSMDLoad.h"

#include <assimp/material.h>
#include <assimp/matrix4x4.h>
#include <assimp/quaternion.h>

#include <map>
#include <stdexcept>

namespace
{
using TMatrix = aiMatrix4x4t<double>;

[[noreturn]] void Fail(const std::string& path, const std::string& what)
{
    throw std::runtime_error(path + ": " + what);
}

const aiAnimation& OnlyAnimation(const aiScene& scene, const std::string& path)
{
    if (scene.mNumAnimations != 1)
        Fail(path, "Assimp gave " + std::to_string(scene.mNumAnimations) + " animations instead of one");
    return *scene.mAnimations[0];
}

std::map<std::string, int> BoneIdsByName(const aiAnimation& animation, const std::string& path)
{
    std::map<std::string, int> ids;
    for (unsigned c = 0; c < animation.mNumChannels; ++c)
        if (!ids.emplace(animation.mChannels[c]->mNodeName.C_Str(), int(c)).second)
            Fail(path, "two bones are named \"" + std::string(animation.mChannels[c]->mNodeName.C_Str()) + "\"");
    return ids;
}

// The node tree has an extra top node above the bones when the file has
// triangles; a parent that is no bone makes a root.
std::vector<TOracleBone> ReadBones(const aiScene& scene, const aiAnimation& animation,
                                   const std::map<std::string, int>& ids, const std::string& path)
{
    std::vector<TOracleBone> bones;
    for (unsigned c = 0; c < animation.mNumChannels; ++c)
    {
        const std::string name = animation.mChannels[c]->mNodeName.C_Str();
        const aiNode* const node = scene.mRootNode->FindNode(name.c_str());
        if (node == nullptr)
            Fail(path, "bone \"" + name + "\" has no node");
        const auto parent = node->mParent ? ids.find(node->mParent->mName.C_Str()) : ids.end();
        bones.push_back({name, parent == ids.end() ? -1 : parent->second});
    }
    return bones;
}

// Assimp keys a bone only in the frames that list it; frame k is key k of
// every channel only when all bones are in all frames.
int CountFrames(const aiAnimation& animation, const std::string& path)
{
    if (animation.mNumChannels == 0)
        Fail(path, "Assimp gave no bones");
    const aiNodeAnim& first = *animation.mChannels[0];
    for (unsigned c = 0; c < animation.mNumChannels; ++c)
    {
        const aiNodeAnim& channel = *animation.mChannels[c];
        bool sameFrames = channel.mNumPositionKeys == first.mNumPositionKeys &&
                          channel.mNumRotationKeys == first.mNumPositionKeys;
        for (unsigned k = 0; sameFrames && k < first.mNumPositionKeys; ++k)
            sameFrames = channel.mPositionKeys[k].mTime == first.mPositionKeys[k].mTime &&
                         channel.mRotationKeys[k].mTime == first.mPositionKeys[k].mTime;
        if (!sameFrames)
            Fail(path, "bone \"" + std::string(channel.mNodeName.C_Str()) + "\" is missing from some frames");
    }
    return int(first.mNumPositionKeys);
}

TMatrix LocalMatrix(const aiNodeAnim& channel, const int frame)
{
    const aiQuaternion& q = channel.mRotationKeys[frame].mValue;
    const aiVector3D& p = channel.mPositionKeys[frame].mValue;
    TMatrix local(aiQuaterniont<double>(q.w, q.x, q.y, q.z).GetMatrix());
    local.a4 = p.x;
    local.b4 = p.y;
    local.c4 = p.z;
    return local;
}

// Assimp's matrices act on column vectors, so a parent's global matrix
// multiplies from the left.
const TMatrix& GlobalMatrix(const aiAnimation& animation, const std::vector<TOracleBone>& bones, const int frame,
                            const int bone, std::vector<TMatrix>& globals, std::vector<char>& done)
{
    if (!done[bone])
    {
        const int parent = bones[bone].Parent;
        const TMatrix local = LocalMatrix(*animation.mChannels[bone], frame);
        globals[bone] = parent < 0 ? local : GlobalMatrix(animation, bones, frame, parent, globals, done) * local;
        done[bone] = 1;
    }
    return globals[bone];
}

std::vector<std::array<float, 3>> GlobalPositions(const aiAnimation& animation, const std::vector<TOracleBone>& bones,
                                                  const int frameCount)
{
    std::vector<std::array<float, 3>> positions;
    std::vector<TMatrix> globals(bones.size());
    for (int frame = 0; frame < frameCount; ++frame)
    {
        std::vector<char> done(bones.size(), 0);
        for (int bone = 0; bone < int(bones.size()); ++bone)
        {
            const TMatrix& global = GlobalMatrix(animation, bones, frame, bone, globals, done);
            positions.push_back({float(global.a4), float(global.b4), float(global.c4)});
        }
    }
    return positions;
}

std::string MaterialName(const aiScene& scene, const aiMesh& mesh)
{
    aiString texture;
    scene.mMaterials[mesh.mMaterialIndex]->GetTexture(aiTextureType_DIFFUSE, 0, &texture);
    return texture.C_Str();
}

std::vector<int> CornerBones(const aiMesh& mesh, const std::map<std::string, int>& ids, const std::string& path)
{
    std::vector<int> vertexBones(mesh.mNumVertices, -1);
    std::vector<float> heaviest(mesh.mNumVertices, 0.0f);
    for (unsigned b = 0; b < mesh.mNumBones; ++b)
    {
        const aiBone& bone = *mesh.mBones[b];
        const auto id = ids.find(bone.mName.C_Str());
        if (id == ids.end())
            Fail(path, "mesh bone \"" + std::string(bone.mName.C_Str()) + "\" is no node");
        for (unsigned w = 0; w < bone.mNumWeights; ++w)
            if (bone.mWeights[w].mWeight > heaviest[bone.mWeights[w].mVertexId])
            {
                heaviest[bone.mWeights[w].mVertexId] = bone.mWeights[w].mWeight;
                vertexBones[bone.mWeights[w].mVertexId] = id->second;
            }
    }
    return vertexBones;
}

TOracleCorner Corner(const aiMesh& mesh, const unsigned vertex, const int bone)
{
    const aiVector3D& p = mesh.mVertices[vertex];
    const aiVector3D n = mesh.mNormals ? mesh.mNormals[vertex] : aiVector3D();
    const aiVector3D t = mesh.mTextureCoords[0] ? mesh.mTextureCoords[0][vertex] : aiVector3D();
    return {{p.x, p.y, p.z}, {n.x, n.y, n.z}, {t.x, t.y}, bone};
}

std::vector<TOracleTriangle> ReadTriangles(const aiScene& scene, const std::map<std::string, int>& ids,
                                           const std::string& path)
{
    std::vector<TOracleTriangle> triangles;
    for (unsigned m = 0; m < scene.mNumMeshes; ++m)
    {
        const aiMesh& mesh = *scene.mMeshes[m];
        const std::string material = MaterialName(scene, mesh);
        const std::vector<int> bones = CornerBones(mesh, ids, path);
        for (unsigned f = 0; f < mesh.mNumFaces; ++f)
        {
            const aiFace& face = mesh.mFaces[f];
            if (face.mNumIndices != 3)
                Fail(path, "Assimp gave a face of " + std::to_string(face.mNumIndices) + " corners");
            TOracleTriangle& triangle = triangles.emplace_back();
            triangle.Material = material;
            for (int k = 0; k < 3; ++k)
                triangle.Corners[k] = Corner(mesh, face.mIndices[k], bones[face.mIndices[k]]);
        }
    }
    return triangles;
}
} // namespace

std::array<float, 3> TOracleSMD::GlobalPosition(const int frame, const int bone) const
{
    return GlobalPositions.at(std::size_t(frame) * Bones.size() + std::size_t(bone));
}

TOracleSMD ReadSMDWithAssimp(const std::string& path)
{
    const TAssimpScene scene = LoadSMDWithAssimp(path.c_str());
    if (!scene)
        Fail(path, std::string("Assimp cannot read it: ") + aiGetErrorString());
    const aiAnimation& animation = OnlyAnimation(*scene, path);
    const std::map<std::string, int> ids = BoneIdsByName(animation, path);
    TOracleSMD smd;
    smd.Bones = ReadBones(*scene, animation, ids, path);
    smd.FrameCount = CountFrames(animation, path);
    smd.GlobalPositions = GlobalPositions(animation, smd.Bones, smd.FrameCount);
    smd.Triangles = ReadTriangles(*scene, ids, path);
    return smd;
}

std::vector<std::size_t> AssimpTriangleOrder(const std::vector<std::string>& materialPerTriangle)
{
    std::vector<std::string> firstUse;
    std::map<std::string, std::vector<std::size_t>> trianglesByMaterial;
    for (std::size_t i = 0; i < materialPerTriangle.size(); ++i)
    {
        std::vector<std::size_t>& triangles = trianglesByMaterial[materialPerTriangle[i]];
        if (triangles.empty())
            firstUse.push_back(materialPerTriangle[i]);
        triangles.push_back(i);
    }
    std::vector<std::size_t> order;
    for (const std::string& material : firstUse)
        order.insert(order.end(), trianglesByMaterial[material].begin(), trianglesByMaterial[material].end());
    return order;
}
