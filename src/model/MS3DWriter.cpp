// MS3DWriter: the MilkShape 3D binary layout written field by field, little-
// endian, with no padding, followed for version 4 by empty comment sections,
// the optional model comment and the extra sections.
#include "model/MS3DWriter.h"

#include "resources/ByteOrder.h"

#include <cstring>

namespace {

class ByteSink {
public:
    explicit ByteSink(std::vector<unsigned char>& out) : out_(out) {}

    void U8(uint8_t v) { out_.push_back(v); }
    void I8(int8_t v) { out_.push_back(static_cast<unsigned char>(v)); }
    void U16(uint16_t v)
    {
        out_.push_back(static_cast<unsigned char>(v));
        out_.push_back(static_cast<unsigned char>(v >> 8));
    }
    void U32(uint32_t v) { AppendU32LE(out_, v); }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void F32(float v)
    {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        U32(bits);
    }
    void Floats(const float* v, int n)
    {
        for (int i = 0; i < n; i++)
            F32(v[i]);
    }
    void Vector(const VECTOR3D& v)
    {
        F32(v.x);
        F32(v.y);
        F32(v.z);
    }
    void Bytes(const void* p, size_t n)
    {
        const unsigned char* b = static_cast<const unsigned char*>(p);
        out_.insert(out_.end(), b, b + n);
    }

private:
    std::vector<unsigned char>& out_;
};

bool Fits16(size_t n)
{
    return n <= 0xffff;
}

// Every count the format stores in 16 bits, checked before writing anything.
const char* CheckCounts(const MS3D& m)
{
    if (!Fits16(m.vertices.size()) || !Fits16(m.triangles.size()) || !Fits16(m.groups.size()) ||
        !Fits16(m.materials.size()) || !Fits16(m.joints.size()))
        return "more than 65535 records in a section";
    for (const MS3D_GROUP& g : m.groups)
        if (!Fits16(g.triangleIndices.size()))
            return "a group with more than 65535 triangles";
    for (const MS3D_JOINT& j : m.joints)
        if (!Fits16(j.rotationKeys.size()) || !Fits16(j.translationKeys.size()))
            return "a joint with more than 65535 keys of one kind";
    return nullptr;
}

void WriteKeys(ByteSink& out, const std::vector<MS3D_KEYFRAME>& keys)
{
    for (const MS3D_KEYFRAME& k : keys) {
        out.F32(k.time);
        out.Vector(k.value);
    }
}

void WriteCore(ByteSink& out, const MS3D& m, int32_t version)
{
    out.Bytes("MS3D000000", 10);
    out.I32(version);

    out.U16(uint16_t(m.vertices.size()));
    for (const MS3D_VERTEX& v : m.vertices) {
        out.U8(v.flags);
        out.Vector(v.position);
        out.I8(v.boneId);
        out.U8(v.referenceCount);
    }

    out.U16(uint16_t(m.triangles.size()));
    for (const MS3D_TRIANGLE& t : m.triangles) {
        out.U16(t.flags);
        for (uint16_t index : t.vertexIndices)
            out.U16(index);
        for (const VECTOR3D& n : t.vertexNormals)
            out.Vector(n);
        out.Floats(t.s, 3);
        out.Floats(t.t, 3);
        out.U8(t.smoothingGroup);
        out.U8(t.groupIndex);
    }

    out.U16(uint16_t(m.groups.size()));
    for (const MS3D_GROUP& g : m.groups) {
        out.U8(g.flags);
        out.Bytes(g.name, sizeof g.name);
        out.U16(uint16_t(g.triangleIndices.size()));
        for (uint16_t index : g.triangleIndices)
            out.U16(index);
        out.I8(g.materialIndex);
    }

    out.U16(uint16_t(m.materials.size()));
    for (const MS3D_MATERIAL& mt : m.materials) {
        out.Bytes(mt.name, sizeof mt.name);
        out.Floats(mt.ambient, 4);
        out.Floats(mt.diffuse, 4);
        out.Floats(mt.specular, 4);
        out.Floats(mt.emissive, 4);
        out.F32(mt.shininess);
        out.F32(mt.transparency);
        out.U8(mt.mode);
        out.Bytes(mt.texture, sizeof mt.texture);
        out.Bytes(mt.alphamap, sizeof mt.alphamap);
    }

    out.F32(m.animationFPS);
    // The editor's current time.
    out.F32(0.0f);
    out.I32(m.totalFrames);

    out.U16(uint16_t(m.joints.size()));
    for (const MS3D_JOINT& j : m.joints) {
        out.U8(j.flags);
        out.Bytes(j.name, sizeof j.name);
        out.Bytes(j.parentName, sizeof j.parentName);
        out.Vector(j.rotation);
        out.Vector(j.position);
        out.U16(uint16_t(j.rotationKeys.size()));
        out.U16(uint16_t(j.translationKeys.size()));
        WriteKeys(out, j.rotationKeys);
        WriteKeys(out, j.translationKeys);
    }
}

// What version 4 files carry after the joints: comments, then per-vertex
// extra weights, per-joint colours and the model's display settings.
void WriteVersion4Sections(ByteSink& out, const MS3D& m, const std::string& comment)
{
    out.I32(1);
    out.U32(0); // group comments
    out.U32(0); // material comments
    out.U32(0); // joint comments
    out.I32(comment.empty() ? 0 : 1);
    if (!comment.empty()) {
        out.I32(0);
        out.I32(int32_t(comment.size()));
        out.Bytes(comment.data(), comment.size());
    }

    out.I32(2);
    for (size_t i = 0; i < m.vertices.size(); i++) {
        // No extra bones: the vertex's own boneId carries all the weight.
        for (int b = 0; b < 3; b++)
            out.I8(-1);
        for (int w = 0; w < 3; w++)
            out.U8(0);
        out.U32(0);
    }

    out.I32(1);
    for (size_t i = 0; i < m.joints.size(); i++) {
        const float colour[3] = {1.0f, 1.0f, 0.0f};
        out.Floats(colour, 3);
    }

    out.I32(1);
    out.F32(1.0f); // joint size
    out.I32(0);    // transparency mode
    out.F32(0.0f); // alpha reference
}

} // namespace

bool WriteMS3D(const MS3D& model, std::vector<unsigned char>* out, std::string* error, const MS3DWriteOptions& options)
{
    const char* why = CheckCounts(model);
    if (!why && options.version != 3 && options.version != 4)
        why = "only versions 3 and 4 can be written";
    if (why) {
        if (error)
            *error = why;
        return false;
    }
    out->clear();
    ByteSink sink(*out);
    WriteCore(sink, model, options.version);
    if (options.version == 4)
        WriteVersion4Sections(sink, model, options.modelComment);
    return true;
}
