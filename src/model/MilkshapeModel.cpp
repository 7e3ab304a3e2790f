// MilkshapeModel: reading an MS3D model (identifier, version, then vertices,
// triangles, groups, materials, animation header and joints), checking it,
// scaling it, and building its bind-pose skeleton with the vertices and
// normals moved into joint space.
//
// Reading never trusts a count: each one is compared with the bytes left in
// the model before its records are allocated, and the whole model is checked
// (indices, 16-bit totals, floats) before it replaces what the MS3D held.
#include "model/MilkshapeModel.h"

#include "maths/Misc.h"
#include "resources/ByteOrder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>

namespace {

const char* const kNotValid = "Not a valid MS3D file!";

// Reads little-endian fields from a stream without ever going past the bytes
// the model may occupy; the first failure is remembered.
class ModelReader {
public:
    ModelReader(std::istream& in, uint64_t size) : in_(in), left_(size) {}

    const char* failure() const { return failure_; }
    bool ok() const { return failure_ == nullptr; }

    bool Fail(const char* why)
    {
        if (!failure_)
            failure_ = why;
        return false;
    }

    // True when count records of recordBytes each fit in what is left.
    bool Fits(uint64_t count, uint64_t recordBytes, const char* why)
    {
        return count * recordBytes <= left_ || Fail(why);
    }

    bool Bytes(void* to, size_t n)
    {
        if (!ok())
            return false;
        if (n > left_ || !in_.read(static_cast<char*>(to), std::streamsize(n)))
            return Fail("the model ends early");
        left_ -= n;
        return true;
    }

    bool Skip(size_t n)
    {
        unsigned char scratch[4];
        while (n > 0) {
            const size_t step = std::min(n, sizeof scratch);
            if (!Bytes(scratch, step))
                return false;
            n -= step;
        }
        return true;
    }

    template <typename T>
    bool Small(T& v)
    {
        static_assert(sizeof(T) <= 2, "one- and two-byte fields only");
        unsigned char b[2] = {0, 0};
        if (!Bytes(b, sizeof(T)))
            return false;
        const uint16_t u = uint16_t(b[0] | (b[1] << 8));
        std::memcpy(&v, &u, sizeof(T));
        return true;
    }

    bool Int32(int32_t& v)
    {
        unsigned char b[4];
        if (!Bytes(b, 4))
            return false;
        const uint32_t u = ReadU32LE(b);
        std::memcpy(&v, &u, 4);
        return true;
    }

    // Every float that positions, poses or times the model must be finite:
    // the skinning and timing that follow would otherwise spread NaN through
    // every pose.
    bool Float(float& v)
    {
        return AnyFloat(v) && (std::isfinite(v) || Fail("the model holds a number that is not finite"));
    }

    // For fields that nothing computes with (material colours, shininess),
    // where editors are known to leave any bit pattern.
    bool AnyFloat(float& v)
    {
        unsigned char b[4];
        if (!Bytes(b, 4))
            return false;
        const uint32_t u = ReadU32LE(b);
        std::memcpy(&v, &u, 4);
        return true;
    }

    bool Floats(float* v, int n, bool finite = true)
    {
        for (int i = 0; i < n; i++)
            if (!(finite ? Float(v[i]) : AnyFloat(v[i])))
                return false;
        return true;
    }

    bool Vector(VECTOR3D& v) { return Float(v.x) && Float(v.y) && Float(v.z); }

private:
    std::istream& in_;
    uint64_t left_;
    const char* failure_ = nullptr;
};

// The bytes from the stream's position to its end, when the stream can tell.
uint64_t BytesLeftIn(std::istream& in, uint64_t size)
{
    const std::streampos here = in.tellg();
    if (here == std::streampos(-1))
        return size;
    in.seekg(0, std::ios::end);
    const std::streampos end = in.tellg();
    in.seekg(here);
    if (end == std::streampos(-1) || end < here)
        return size;
    return std::min(size, uint64_t(end - here));
}

bool ReadHeader(ModelReader& r, MS3D& m)
{
    char id[10];
    if (!r.Bytes(id, sizeof id) || !r.Int32(m.version))
        return false;
    if (std::memcmp(id, "MS3D000000", sizeof id) != 0)
        return r.Fail("not a MilkShape 3D model (wrong identifier)");
    if (m.version != 3 && m.version != 4)
        return r.Fail("unsupported MilkShape 3D version (only 3 and 4 are read)");
    return true;
}

bool ReadVertices(ModelReader& r, MS3D& m)
{
    if (!r.Small(m.numVertices) ||
        !r.Fits(m.numVertices, MS3D_VERTEX_BYTES, "the vertex count runs past the end of the model"))
        return false;
    m.vertices.resize(m.numVertices);
    for (MS3D_VERTEX& v : m.vertices) {
        // The file puts the position before boneId; the record after.
        if (!r.Small(v.flags) || !r.Vector(v.position) || !r.Small(v.boneId) || !r.Small(v.referenceCount))
            return false;
    }
    return true;
}

bool ReadTriangles(ModelReader& r, MS3D& m)
{
    if (!r.Small(m.numTriangles) ||
        !r.Fits(m.numTriangles, MS3D_TRIANGLE_BYTES, "the triangle count runs past the end of the model"))
        return false;
    m.triangles.resize(m.numTriangles);
    for (MS3D_TRIANGLE& t : m.triangles) {
        if (!r.Small(t.flags))
            return false;
        for (uint16_t& index : t.vertexIndices)
            if (!r.Small(index))
                return false;
        for (VECTOR3D& normal : t.vertexNormals)
            if (!r.Vector(normal))
                return false;
        if (!r.Floats(t.s, 3) || !r.Floats(t.t, 3) || !r.Small(t.smoothingGroup) || !r.Small(t.groupIndex))
            return false;
    }
    return true;
}

bool ReadGroups(ModelReader& r, MS3D& m)
{
    if (!r.Small(m.numGroups) ||
        !r.Fits(m.numGroups, MS3D_GROUP_BYTES, "the group count runs past the end of the model"))
        return false;
    m.groups.resize(m.numGroups);
    for (MS3D_GROUP& g : m.groups) {
        // The indices and the material byte must fit before the list is sized.
        if (!r.Small(g.flags) || !r.Bytes(g.name, sizeof g.name) || !r.Small(g.numTriangles) ||
            !r.Fits(uint64_t(g.numTriangles) * 2 + 1, 1, "a group's triangle count runs past the end of the model"))
            return false;
        g.triangleIndices.resize(g.numTriangles);
        for (uint16_t& index : g.triangleIndices)
            if (!r.Small(index))
                return false;
        if (!r.Small(g.materialIndex))
            return false;
    }
    return true;
}

bool ReadMaterials(ModelReader& r, MS3D& m)
{
    if (!r.Small(m.numMaterials) ||
        !r.Fits(m.numMaterials, MS3D_MATERIAL_BYTES, "the material count runs past the end of the model"))
        return false;
    m.materials.resize(m.numMaterials);
    for (MS3D_MATERIAL& mt : m.materials) {
        // Only the transparency is carried into the instance as a number.
        if (!r.Bytes(mt.name, sizeof mt.name) || !r.Floats(mt.ambient, 4, false) || !r.Floats(mt.diffuse, 4, false) ||
            !r.Floats(mt.specular, 4, false) || !r.Floats(mt.emissive, 4, false) || !r.AnyFloat(mt.shininess) ||
            !r.Float(mt.transparency) || !r.Small(mt.mode) || !r.Bytes(mt.texture, sizeof mt.texture) ||
            !r.Bytes(mt.alphamap, sizeof mt.alphamap))
            return false;
    }
    return true;
}

bool ReadAnimation(ModelReader& r, MS3D& m)
{
    // The editor's current time is of no use to us.
    if (!r.Float(m.animationFPS) || !r.Skip(4) || !r.Int32(m.totalFrames))
        return false;
    // A frame rate of zero or less would turn every frame number into an
    // infinite or backward time.
    if (!(m.animationFPS > 0.0f))
        return r.Fail("the frame rate is not positive");
    m.totalTime = float((m.totalFrames * 1000.0) / m.animationFPS);
    return std::isfinite(m.totalTime) || r.Fail("the animation length is not finite");
}

bool ReadKeys(ModelReader& r, std::vector<MS3D_KEYFRAME>& keys, uint16_t count)
{
    keys.resize(count);
    for (MS3D_KEYFRAME& k : keys)
        if (!r.Float(k.time) || !r.Vector(k.value))
            return false;
    return true;
}

bool ReadJoints(ModelReader& r, MS3D& m)
{
    if (!r.Small(m.numJoints) ||
        !r.Fits(m.numJoints, MS3D_JOINT_BYTES, "the joint count runs past the end of the model"))
        return false;
    m.joints.resize(m.numJoints);
    for (MS3D_JOINT& j : m.joints) {
        if (!r.Small(j.flags) || !r.Bytes(j.name, sizeof j.name) || !r.Bytes(j.parentName, sizeof j.parentName) ||
            !r.Vector(j.rotation) || !r.Vector(j.position) || !r.Small(j.numRotationKeys) ||
            !r.Small(j.numTranslationKeys) ||
            !r.Fits(uint64_t(j.numRotationKeys) + j.numTranslationKeys, MS3D_KEYFRAME_BYTES,
                    "a joint's key counts run past the end of the model"))
            return false;
        if (!ReadKeys(r, j.rotationKeys, j.numRotationKeys) || !ReadKeys(r, j.translationKeys, j.numTranslationKeys))
            return false;
    }
    return true;
}

// Bit pattern of a float with -0 folded into +0, so that equal bit patterns
// mean exactly what == means for finite values.
uint32_t EqualityBits(float f)
{
    if (f == 0.0f)
        f = 0.0f;
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

// Whether the instance's vertex buffer, which merges corners with equal
// position, normal, texture coordinates and joint, stays within 16-bit
// indices. Scaling and reverting keep equal corners equal, so counting the
// distinct corners as read gives an upper bound of the buffer's size.
bool FitsVertexBuffer(const MS3D& m)
{
    size_t corners = 0;
    for (const MS3D_GROUP& g : m.groups)
        corners += 3 * g.triangleIndices.size();
    if (corners <= MS3D_MAX_INDEX_COUNT)
        return true;

    using CornerKey = std::array<uint32_t, 9>;
    std::vector<CornerKey> keys;
    keys.reserve(corners);
    for (const MS3D_GROUP& g : m.groups) {
        for (uint16_t ti : g.triangleIndices) {
            const MS3D_TRIANGLE& t = m.triangles[ti];
            for (int c = 0; c < 3; c++) {
                const MS3D_VERTEX& v = m.vertices[t.vertexIndices[c]];
                const VECTOR3D& n = t.vertexNormals[c];
                keys.push_back({EqualityBits(v.position.x), EqualityBits(v.position.y), EqualityBits(v.position.z),
                                EqualityBits(n.x), EqualityBits(n.y), EqualityBits(n.z), EqualityBits(t.s[c]),
                                EqualityBits(t.t[c]), uint32_t(uint8_t(v.boneId))});
            }
        }
    }
    std::sort(keys.begin(), keys.end());
    const size_t distinct = size_t(std::unique(keys.begin(), keys.end()) - keys.begin());
    return distinct <= MS3D_MAX_INDEX_COUNT;
}

// Everything the skeleton, the template and the instance index with, checked
// once so they can run without checks. Null when the model is sound. A
// negative boneId means no joint and a material index outside the materials
// means none (the group draws with whatever texture is bound), as every
// user of them already reads them.
const char* CheckModel(const MS3D& m)
{
    for (const MS3D_VERTEX& v : m.vertices)
        if (v.boneId >= int(m.numJoints))
            return "a vertex is bound to a joint that does not exist";
    for (const MS3D_TRIANGLE& t : m.triangles)
        for (uint16_t index : t.vertexIndices)
            if (index >= m.numVertices)
                return "a triangle uses a vertex that does not exist";
    uint32_t groupTriangles = 0;
    for (const MS3D_GROUP& g : m.groups) {
        for (uint16_t index : g.triangleIndices)
            if (index >= m.numTriangles)
                return "a group uses a triangle that does not exist";
        groupTriangles += g.numTriangles;
    }
    // The instance counts these triangles in 16 bits; a larger total would
    // wrap and leave its index list too short.
    if (groupTriangles > MS3D_MAX_INDEX_COUNT)
        return "the groups hold more than 65535 triangles in all";
    if (!FitsVertexBuffer(m))
        return "the model needs more than 65535 distinct vertices";
    return nullptr;
}

// Names compared as zero-terminated strings that never run past their field.
bool SameName(const char* a, const char* b)
{
    for (int i = 0; i < MS3D_NAME_BYTES; i++) {
        if (a[i] != b[i])
            return false;
        if (a[i] == 0)
            return true;
    }
    return true;
}

const char* ReadModel(std::istream& in, uint64_t size, MS3D& m)
{
    ModelReader r(in, BytesLeftIn(in, size));
    if (ReadHeader(r, m) && ReadVertices(r, m) && ReadTriangles(r, m) && ReadGroups(r, m) && ReadMaterials(r, m) &&
        ReadAnimation(r, m) && ReadJoints(r, m))
        return CheckModel(m);
    return r.failure();
}

} // namespace

SKELETON_JOINT::SKELETON_JOINT() : rotation(0, 0, 0), position(0, 0, 0) {}

std::vector<MS3D_KEYFRAME> KeysInMilliseconds(const std::vector<MS3D_KEYFRAME>& keys)
{
    std::vector<MS3D_KEYFRAME> copy = keys;
    for (MS3D_KEYFRAME& k : copy)
        k.time *= 1000.0f;
    return copy;
}

bool MS3D::LoadFromFStream(std::istream* stream, uint64_t size)
{
    if (!stream) {
        failure = "no stream to read the model from";
        return false;
    }
    // The model is built aside and only replaces ours once it is whole, so a
    // refused file changes nothing.
    MS3D model;
    const char* why;
    try {
        why = ReadModel(*stream, size, model);
    } catch (const std::bad_alloc&) {
        ERRORCLOSE("Unable to allocate memory!");
        failure = "out of memory while reading the model";
        return false;
    }
    if (why) {
        ERRORCLOSE(kNotValid);
        failure = why;
        return false;
    }
    *this = std::move(model);
    failure = "";
    return true;
}

int MS3D::FindJoint(const char* name) const
{
    for (size_t i = 0; i < joints.size(); i++)
        if (SameName(name, joints[i].name))
            return int(i);
    return -1;
}

void MS3D::Scale(float factor)
{
    for (MS3D_VERTEX& v : vertices) {
        v.position.x *= factor;
        v.position.y *= factor;
        v.position.z *= factor;
    }
    for (MS3D_JOINT& j : joints) {
        j.position.x *= factor;
        j.position.y *= factor;
        j.position.z *= factor;
        for (MS3D_KEYFRAME& k : j.translationKeys) {
            k.value.x *= factor;
            k.value.y *= factor;
            k.value.z *= factor;
        }
    }
}

void MS3D::InitialSetup()
{
    if (numJoints == 0)
        return;
    SetupSkeleton();
    UpdateSkeleton();
    RevertPoints();
}

void MS3D::SetupSkeleton()
{
    const double degreesPerRadian = 57.29577951308232;
    skeleton.assign(joints.size(), SKELETON_JOINT());
    for (size_t i = 0; i < joints.size(); i++) {
        MS3D_JOINT& j = joints[i];
        SKELETON_JOINT& s = skeleton[i];
        // The model's own rotation turns into degrees too, in place.
        j.rotation.x = float(double(j.rotation.x) * degreesPerRadian);
        j.rotation.y = float(double(j.rotation.y) * degreesPerRadian);
        j.rotation.z = float(double(j.rotation.z) * degreesPerRadian);

        s.flags = j.flags;
        s.relative.Identity();
        s.absolute.Identity();
        s.rotation = j.rotation;
        s.position = j.position;
        // A name that matches no joint leaves a root. So does one that finds
        // the joint itself or a later one: joints are posed in list order, so
        // such a parent would still hold identity when the bind pose is built
        // (the vertices are reverted as if the joint were a root) and last
        // frame's matrix, or its own, when animating, which would tear the
        // skin away or spin it without bound. Editors list parents first.
        const int found = j.parentName[0] != 0 ? FindJoint(j.parentName) : -1;
        s.parent = found < int(i) ? found : -1;

        s.numRotationKeys = j.numRotationKeys;
        s.numTranslationKeys = j.numTranslationKeys;
        s.rotationKeys = KeysInMilliseconds(j.rotationKeys);
        s.translationKeys = KeysInMilliseconds(j.translationKeys);
    }
}

void MS3D::UpdateSkeleton()
{
    for (SKELETON_JOINT& s : skeleton) {
        s.relative = QuatToRotationMatrix(RotationToQuat(s.rotation));
        s.relative.SetTranslation(s.position);
        // A parent listed later still holds its identity here.
        s.absolute = s.parent < 0 ? s.relative : MultiplyMatrix(skeleton[s.parent].absolute, s.relative);
    }
}

void MS3D::RevertPoints()
{
    // Without a skeleton there is no joint space to move into.
    if (skeleton.size() != joints.size())
        return;
    for (MS3D_VERTEX& v : vertices) {
        if (v.boneId < 0)
            continue;
        const MATRIX& a = skeleton[v.boneId].absolute;
        v.position = MatrixInverseRotatePoint(a, MatrixInverseTranslatePoint(a, v.position));
    }
    // Each triangle keeps its own corner normals, so each is reverted.
    for (MS3D_TRIANGLE& t : triangles) {
        for (int c = 0; c < 3; c++) {
            const int bone = vertices[t.vertexIndices[c]].boneId;
            if (bone >= 0)
                t.vertexNormals[c] = MatrixInverseRotatePoint(skeleton[bone].absolute, t.vertexNormals[c]);
        }
    }
}
