// ModelMain: building the shared animation template and an instance from a
// set-up model, copying instances, keyframe playback with its cursors and the
// blend into a new animation, joint matrices, skinning of the vertex buffer
// from the shared joint-space copy, and drawing one group.
#include "model/ModelMain.h"

#include "maths/Misc.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

const char* const kNoMemory = "Unable to allocate memory!";
const char* const kNotValid = "Not a valid MS3D file!";

// Moves a key cursor forward past every key earlier than time. The comparison
// is strict, so a time equal to a key's time stops on that key.
int AdvanceKey(const std::vector<MS3D_KEYFRAME>& keys, int from, float time)
{
    const int n = int(keys.size());
    int k = from;
    while (k < n && time > keys[k].time)
        k++;
    return k;
}

// The first key at or after time, or the last key when all are earlier.
int KeyAtOrAfter(const std::vector<MS3D_KEYFRAME>& keys, float time)
{
    return std::min(AdvanceKey(keys, 0, time), int(keys.size()) - 1);
}

VECTOR3D Lerp(VECTOR3D from, VECTOR3D to, float f)
{
    return VECTOR3D(from.x + (to.x - from.x) * f, from.y + (to.y - from.y) * f, from.z + (to.z - from.z) * f);
}

void SetRotation(BASICJOINT& bj, const QUAT& q)
{
    bj.rotation = q;
    bj.rotationMatrix = QuatToRotationMatrix(q);
}

// Four doubles: a matrix column, or a point's x, y, z and a spare lane.
typedef double Double4 __attribute__((vector_size(32)));
typedef float Float4 __attribute__((vector_size(16)));

// Poses count vertices from the joint-space copy: each is MatrixRotatePoint
// then MatrixTranslatePoint with its joint's matrix, a column at a time so
// that the products, their order and the roundings to float are exactly
// theirs. Built for AVX too where the processor has it (without FMA, which
// would round differently).
//
// The matrices are gathered first: in a large herd each creature's joints
// are out of cache, and loaded side by side their misses overlap, where
// met one at a time among the vertices they would not.
__attribute__((target_clones("avx", "default"))) void PoseVertices(const BASICJOINT* joints, size_t jointCount,
                                                                   const VECTOR3D* positions, const VECTOR3D* normals,
                                                                   const int8_t* boneOf, size_t count, MODELVERTEX* out)
{
    // A vertex's joint is an int8_t, so no more can be named.
    constexpr size_t kMostJoints = 128;
    Double4 columns[kMostJoints][4];
    jointCount = std::min(jointCount, kMostJoints);
    for (size_t j = 0; j < jointCount; j++)
        std::memcpy(columns[j], joints[j].absolute.m, sizeof columns[j]);
    for (size_t i = 0; i < count; i++) {
        const unsigned j = unsigned(boneOf[i]);
        if (j >= jointCount)
            continue;
        const Double4 c0 = columns[j][0], c1 = columns[j][1], c2 = columns[j][2], c3 = columns[j][3];
        const Double4 r = c0 * double(positions[i].x) + c1 * double(positions[i].y) + c2 * double(positions[i].z);
        const Double4 t = __builtin_convertvector(__builtin_convertvector(r, Float4), Double4) + c3;
        const Float4 p = __builtin_convertvector(t, Float4);
        const Float4 n = __builtin_convertvector(
            c0 * double(normals[i].x) + c1 * double(normals[i].y) + c2 * double(normals[i].z), Float4);
        out[i].position = VECTOR3D(p[0], p[1], p[2]);
        out[i].normal = VECTOR3D(n[0], n[1], n[2]);
    }
}

} // namespace

bool ANIMATIONTEMPLATE::Setup(const MS3D* ms3d)
{
    *this = ANIMATIONTEMPLATE();
    if (!ms3d || ms3d->skeleton.size() != ms3d->joints.size())
        return false;
    numJoints = ms3d->numJoints;
    totalFrames = ms3d->totalFrames;
    animationFPS = ms3d->animationFPS;
    totalTime = ms3d->totalTime;
    try {
        joints.resize(ms3d->joints.size());
        const float degreesPerRadian = 57.29578f;
        for (size_t i = 0; i < joints.size(); i++) {
            const SKELETON_JOINT& s = ms3d->skeleton[i];
            const MS3D_JOINT& j = ms3d->joints[i];
            TEMPLATE_JOINT& tj = joints[i];
            tj.flags = s.flags;
            tj.parent = s.parent;
            tj.relative = s.relative;
            tj.absolute = s.absolute;
            tj.rotation = s.rotation;
            tj.position = s.position;
            tj.bindQuat = RotationToQuat(tj.rotation);
            tj.bindMatrix = QuatToRotationMatrix(tj.bindQuat);
            tj.bindMatrix.SetTranslation(tj.position);

            // The keys come from the model joint, still in seconds and radians.
            tj.numRotationKeys = j.numRotationKeys;
            tj.numTranslationKeys = j.numTranslationKeys;
            tj.keyQuats.assign(j.rotationKeys.size(), QUAT());
            for (size_t k = 0; k < j.rotationKeys.size(); k++) {
                const VECTOR3D r = j.rotationKeys[k].value;
                tj.keyQuats[k] =
                    RotationToQuat(VECTOR3D(r.x * degreesPerRadian, r.y * degreesPerRadian, r.z * degreesPerRadian));
            }
            tj.rotationKeys = KeysInMilliseconds(j.rotationKeys);
            tj.translationKeys = KeysInMilliseconds(j.translationKeys);
        }
    } catch (const std::bad_alloc&) {
        ERRORCLOSE(kNoMemory);
        *this = ANIMATIONTEMPLATE();
        return false;
    }
    return true;
}

BASICJOINT::BASICJOINT() : translation(0, 0, 0), blendFromTranslation(0, 0, 0) {}

MODELMATERIAL::~MODELMATERIAL()
{
    // Name 0 is no texture; skipping it keeps GL out of models never drawn.
    if (texture != 0)
        glDeleteTextures(1, &texture);
    texture = 0;
    mode = 0;
    transparency = 1.0f;
}

ONEMODEL::ONEMODEL() : position(0, 0, 0), heading(0, 0, 0), angles(0, 0, 0) {}

void ONEMODEL::MakeJoints(const ANIMATIONTEMPLATE* from)
{
    animTemplate = from;
    joints.assign(from->joints.size(), BASICJOINT());
    for (size_t i = 0; i < joints.size(); i++) {
        joints[i].parent = from->joints[i].parent;
        joints[i].flags = from->joints[i].flags;
    }
    numJoints = uint16_t(from->numJoints);
}

void ONEMODEL::ResetPlayback()
{
    currentTime = startTime = endTime = 0;
    looping = false;
    speed = 1000.0f;
    position = heading = angles = VECTOR3D(0, 0, 0);
    orientation.Identity();
}

void ONEMODEL::ClearMesh()
{
    numGroups = numTriangles = numVertices = 0;
    groups.clear();
    indices.clear();
    vertices.clear();
    bindMesh.reset();
}

bool ONEMODEL::KeepJointSpaceMesh()
{
    try {
        auto mesh = std::make_shared<JOINTSPACEMESH>();
        mesh->positions.reserve(vertices.size());
        mesh->normals.reserve(vertices.size());
        mesh->joints.reserve(vertices.size());
        for (const MODELVERTEX& v : vertices) {
            mesh->positions.push_back(v.position);
            mesh->normals.push_back(v.normal);
            mesh->joints.push_back(v.joint);
        }
        bindMesh = std::move(mesh);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool ONEMODEL::Setup(const ANIMATIONTEMPLATE* fromTemplate, const MS3D* ms3d, const unsigned int* textureName)
{
    // The buffer's joint indices are model boneIds, so the template must have
    // the model's joints.
    if (!fromTemplate || !ms3d || fromTemplate->joints.size() != ms3d->joints.size())
        return false;
    // Sized by the index lists themselves (a loaded model's counts equal
    // them), so the writes below can never outrun the list.
    size_t total = 0;
    for (const MS3D_GROUP& g : ms3d->groups)
        total += g.triangleIndices.size();
    if (total > MS3D_MAX_INDEX_COUNT) {
        ERRORCLOSE(kNotValid);
        return false;
    }
    try {
        MakeJoints(fromTemplate);
        ResetPlayback();
        numGroups = ms3d->numGroups;
        numMaterials = ms3d->numMaterials;

        materials.assign(ms3d->materials.size(), MODELMATERIAL());
        for (size_t i = 0; i < materials.size(); i++) {
            const MS3D_MATERIAL& from = ms3d->materials[i];
            materials[i].mode = from.mode;
            materials[i].transparency = from.transparency;
            std::copy(from.ambient, from.ambient + 3, materials[i].ambient);
            materials[i].texture = textureName ? *textureName : 0;
        }
        groups.assign(ms3d->groups.size(), MODELGROUP());

        numTriangles = uint16_t(total);
        indices.assign(3 * size_t(numTriangles), 0);
        // Room for the most vertices the corners can make, so the buffer never
        // moves while it grows.
        vertices.clear();
        vertices.reserve(std::min<size_t>(indices.size(), MS3D_MAX_INDEX_COUNT));
        numVertices = 0;
    } catch (const std::bad_alloc&) {
        ERRORCLOSE(kNoMemory);
        ClearMesh();
        return false;
    }

    int32_t next = 0;
    for (size_t g = 0; g < ms3d->groups.size(); g++) {
        const MS3D_GROUP& mg = ms3d->groups[g];
        groups[g].materialIndex = mg.materialIndex;
        groups[g].numTriangles = uint16_t(mg.triangleIndices.size());
        groups[g].firstIndex = next;
        for (uint16_t ti : mg.triangleIndices) {
            const MS3D_TRIANGLE& t = ms3d->triangles[ti];
            for (int c = 0; c < 3; c++) {
                const MS3D_VERTEX& v = ms3d->vertices[t.vertexIndices[c]];
                const float flippedT = 1.0f - t.t[c];
                const int index = AddVertToBuffer(&v.position, &t.vertexNormals[c], t.s[c], flippedT, v.boneId);
                // Only numbers that stopped comparing equal (NaN after an
                // overflow) can get here past the loader's count.
                if (index < 0) {
                    ERRORCLOSE(kNotValid);
                    ClearMesh();
                    return false;
                }
                indices[size_t(next) + c] = uint16_t(index);
            }
            next += 3;
        }
    }
    // The buffer is still in joint space here, as the model's setup left it.
    if (!KeepJointSpaceMesh()) {
        ERRORCLOSE(kNoMemory);
        ClearMesh();
        return false;
    }
    return true;
}

int ONEMODEL::AddVertToBuffer(const VECTOR3D* point, const VECTOR3D* normal, float s, float t, int8_t joint)
{
    for (size_t i = 0; i < vertices.size(); i++) {
        const MODELVERTEX& v = vertices[i];
        if (v.position.x == point->x && v.position.y == point->y && v.position.z == point->z &&
            v.normal.x == normal->x && v.normal.y == normal->y && v.normal.z == normal->z && v.s == s && v.t == t &&
            v.joint == joint)
            return int(i);
    }
    if (vertices.size() >= MS3D_MAX_INDEX_COUNT)
        return -1;
    MODELVERTEX v;
    v.position = *point;
    v.normal = *normal;
    v.s = s;
    v.t = t;
    v.joint = joint;
    vertices.push_back(v);
    numVertices = uint16_t(vertices.size());
    return int(vertices.size() - 1);
}

bool ONEMODEL::CopyFrom(const ONEMODEL& source)
{
    if (!source.animTemplate || &source == this)
        return false;
    try {
        MakeJoints(source.animTemplate);
        ResetPlayback();
        numGroups = source.numGroups;
        numMaterials = source.numMaterials;
        materials = source.materials;
        groups = source.groups;
        numTriangles = source.numTriangles;
        indices = source.indices;
        numVertices = source.numVertices;
        vertices = source.vertices;
        bindMesh = source.bindMesh;
    } catch (const std::bad_alloc&) {
        ERRORCLOSE(kNoMemory);
        ClearMesh();
        return false;
    }
    return true;
}

void ONEMODEL::SetAnimation(double startFrame, double endFrame, double newSpeed, bool loop, bool blend)
{
    if (!animTemplate)
        return;
    const double fps = animTemplate->animationFPS;
    startTime = float(startFrame * 1000.0 / fps);
    endTime = float(endFrame * 1000.0 / fps);
    speed = float(newSpeed);
    looping = loop;
    currentTime = startTime;
    // lastRotationKey only says which key's pose the joint holds while
    // nothing else touches its rotation; a blend does, and a new range may
    // hold a different key under the same index, so the next step must
    // convert its key again.
    for (BASICJOINT& bj : joints) {
        bj.curTranslationKey = 0;
        bj.curRotationKey = 0;
        bj.lastRotationKey = -1;
        bj.blendFromRotation = bj.rotation;
        bj.blendFromTranslation = bj.translation;
    }
    blending = blend;
    blendProgress = 0;
}

void ONEMODEL::RestartAnim()
{
    currentTime = startTime;
    for (BASICJOINT& bj : joints) {
        bj.curTranslationKey = 0;
        bj.curRotationKey = 0;
    }
}

void ONEMODEL::PlayJoint(const TEMPLATE_JOINT& tj, BASICJOINT& bj)
{
    const std::vector<MS3D_KEYFRAME>& tk = tj.translationKeys;
    if (!tk.empty()) {
        const int n = int(tk.size());
        const int k = AdvanceKey(tk, bj.curTranslationKey, currentTime);
        bj.curTranslationKey = k;
        if (k == 0) {
            bj.translation = tk[0].value;
        } else if (k < n) {
            const float f = (currentTime - tk[k - 1].time) / (tk[k].time - tk[k - 1].time);
            bj.translation = Lerp(tk[k - 1].value, tk[k].value, f);
        } else {
            bj.translation = tk[n - 1].value;
        }
    }

    const std::vector<MS3D_KEYFRAME>& rk = tj.rotationKeys;
    if (!rk.empty()) {
        const int n = int(rk.size());
        const int k = AdvanceKey(rk, bj.curRotationKey, currentTime);
        bj.curRotationKey = k;
        // Held before the first or after the last key, the pose only needs
        // converting when it was not already held there.
        if (k == 0) {
            if (bj.lastRotationKey != 0)
                SetRotation(bj, tj.keyQuats[0]);
        } else if (k < n) {
            const float f = (currentTime - rk[k - 1].time) / (rk[k].time - rk[k - 1].time);
            SetRotation(bj, QuatSlerp(&tj.keyQuats[k - 1], &tj.keyQuats[k], double(f)));
        } else if (bj.lastRotationKey != n) {
            SetRotation(bj, tj.keyQuats[n - 1]);
        }
        bj.lastRotationKey = k;
    }
}

void ONEMODEL::BlendJoint(const TEMPLATE_JOINT& tj, BASICJOINT& bj)
{
    // Heads for the first keys at or after the range's time without
    // interpolating between keys; the cursors are left alone.
    if (!tj.rotationKeys.empty()) {
        const int k = KeyAtOrAfter(tj.rotationKeys, currentTime);
        SetRotation(bj, QuatSlerp(&bj.blendFromRotation, &tj.keyQuats[k], double(blendProgress)));
    }
    if (!tj.translationKeys.empty()) {
        const int m = KeyAtOrAfter(tj.translationKeys, currentTime);
        bj.translation = Lerp(bj.blendFromTranslation, tj.translationKeys[m].value, blendProgress);
    }
}

void ONEMODEL::Animate(double step)
{
    if (!animTemplate)
        return;
    if (blending) {
        blendProgress = float(double(blendProgress) + double(blendRate) * step);
        if (blendProgress >= 1.0f) {
            blending = false;
            blendProgress = 1.0f;
        }
        for (size_t i = 0; i < joints.size(); i++)
            BlendJoint(animTemplate->joints[i], joints[i]);
        return;
    }

    if (currentTime >= endTime)
        return;
    currentTime = float(double(currentTime) + double(speed) * step);
    if (currentTime >= endTime) {
        // A loop starts again exactly at startTime, dropping the overshoot.
        if (looping)
            RestartAnim();
        else
            currentTime = endTime;
    }
    for (size_t i = 0; i < joints.size(); i++)
        PlayJoint(animTemplate->joints[i], joints[i]);
}

void ONEMODEL::UpdateSkeleton()
{
    if (!animTemplate)
        return;
    for (size_t i = 0; i < joints.size(); i++) {
        BASICJOINT& bj = joints[i];
        MATRIX m = bj.rotationMatrix;
        m.SetTranslation(bj.translation);
        // The animated motion acts inside the joint's bind frame.
        bj.relative = MultiplyMatrix(animTemplate->joints[i].bindMatrix, m);
        bj.absolute = bj.parent < 0 ? bj.relative : MultiplyMatrix(joints[bj.parent].absolute, bj.relative);
    }
}

void ONEMODEL::RevertPoints(const BASICJOINT* withJoints)
{
    for (MODELVERTEX& v : vertices) {
        if (v.joint < 0)
            continue;
        const MATRIX& a = withJoints[v.joint].absolute;
        v.position = MatrixInverseRotatePoint(a, MatrixInverseTranslatePoint(a, v.position));
        v.normal = MatrixInverseRotatePoint(a, v.normal);
    }
}

void ONEMODEL::UpdatePoints(const BASICJOINT* withJoints)
{
    PosePoints(withJoints, vertices);
}

void ONEMODEL::PosePoints(const BASICJOINT* withJoints, std::vector<MODELVERTEX>& into) const
{
    if (!bindMesh)
        return;
    const size_t count = std::min(into.size(), bindMesh->positions.size());
    PoseVertices(withJoints, joints.size(), bindMesh->positions.data(), bindMesh->normals.data(),
                 bindMesh->joints.data(), count, into.data());
}

void ONEMODEL::DrawGroup(int group)
{
    if (group < 0 || group >= int(groups.size()))
        return;
    const MODELGROUP& g = groups[size_t(group)];
    bool generated = false;
    if (g.materialIndex >= 0 && g.materialIndex < int(materials.size())) {
        const MODELMATERIAL& mt = materials[size_t(g.materialIndex)];
        if (mt.mode & 0x80) {
            glEnable(GL_TEXTURE_GEN_S);
            glEnable(GL_TEXTURE_GEN_T);
            generated = true;
        }
        glBindTexture(GL_TEXTURE_2D, mt.texture);
    }
    glDrawElements(GL_TRIANGLES, 3 * GLsizei(g.numTriangles), GL_UNSIGNED_SHORT, indices.data() + g.firstIndex);
    if (generated) {
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
    }
}
