#include "app/model_import.h"

#include <assimp/IOStream.hpp>
#include <assimp/IOSystem.hpp>
#include <assimp/Importer.hpp>
#include <assimp/MemoryIOWrapper.h>
#include <assimp/ProgressHandler.hpp>
#include <assimp/importerdesc.h>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <new>

#include "app/model_load.h"
#include "app/quote.h"

namespace {

// The importers kept, by the names assimp gives them; every other one is
// taken out of the importer for the duration of an import.
const char *const KeptImporters[] = {
    "Stanford Polygon Library (PLY) Importer", "Wavefront Object Importer",
    "Stereolithography (STL) Importer", "OFF Importer", "glTF2 Importer"};

// Deeper node trees than this are refused rather than walked.
constexpr int MaxNodeDepth = 1024;

std::string Count(uint64_t n) { return std::to_string((unsigned long long)n); }

// Serves the model's own bytes under its path, and files beside it from
// directory, within what a model may read in all.
class ModelFiles : public Assimp::IOSystem {
  public:
    ModelFiles(const unsigned char *bytes, size_t size, const std::string &path,
               const std::string &directory)
        : bytes_(bytes), size_(size), path_(path), directory_(directory),
          budget_(ModelMaxFileBytes - size) {}

    bool Exists(const char *file) const override { return file == path_ || Beside(file); }
    char getOsSeparator() const override { return '/'; }

    Assimp::IOStream *Open(const char *file, const char *mode) override {
        if (std::strchr(mode, 'w') || std::strchr(mode, 'a') || std::strchr(mode, '+'))
            return nullptr;
        if (file == path_) return new Assimp::MemoryIOStream(bytes_, size_);
        if (!Beside(file)) {
            refused_ = std::string(file) + ": not beside the model";
            return nullptr;
        }
        auto found = read_.find(file);
        if (found == read_.end()) {
            std::string bytes;
            if (!ReadBeside(file, bytes)) return nullptr;
            found = read_.emplace(file, std::move(bytes)).first;
        }
        return new Assimp::MemoryIOStream((const uint8_t *)found->second.data(),
                                          found->second.size());
    }
    void Close(Assimp::IOStream *stream) override { delete stream; }

    // Why the last file beside the model could not be had (empty: none failed).
    const std::string &refused() const { return refused_; }

  private:
    // Only plain names in the model's own folder: no other folders, no way up.
    bool Beside(const std::string &file) const {
        if (directory_.empty() || file.size() <= directory_.size() ||
            file.compare(0, directory_.size(), directory_) != 0)
            return false;
        const std::string rest = file.substr(directory_.size());
        return rest.find_first_of("/\\") == std::string::npos && rest != "." && rest != "..";
    }

    bool ReadBeside(const std::string &file, std::string &bytes) {
        const std::string shown = file.substr(directory_.size());
        FILE *f = std::fopen(file.c_str(), "rb");
        if (!f) return refused_ = Quote(shown) + " beside it cannot be opened", false;
        char chunk[1 << 16];
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
            if (got > budget_) {
                std::fclose(f);
                refused_ = Quote(shown) + " beside it takes the model past the " +
                           Count(ModelMaxFileBytes) + " bytes a model may read";
                return false;
            }
            budget_ -= got;
            bytes.append(chunk, got);
        }
        const bool failed = std::ferror(f) != 0;
        std::fclose(f);
        if (failed) return refused_ = Quote(shown) + " beside it cannot be read", false;
        return true;
    }

    const unsigned char *bytes_;
    size_t size_;
    std::string path_, directory_;
    uint64_t budget_;
    std::map<std::string, std::string> read_;
    std::string refused_;
};

// Asks assimp to stop where it reports progress once an import has run too long.
class ImportDeadline : public Assimp::ProgressHandler {
  public:
    ImportDeadline() : start_(std::chrono::steady_clock::now()) {}
    bool Update(float) override { return !Passed(); }
    bool Passed() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count() >
               ModelMaxImportSeconds;
    }

  private:
    std::chrono::steady_clock::time_point start_;
};

// An importer holding only the kept importers; the others go back in before
// it is destroyed, which deletes them.
class LimitedImporter {
  public:
    LimitedImporter() {
        for (size_t i = importer.GetImporterCount(); i-- > 0;) {
            const aiImporterDesc *desc = importer.GetImporterInfo(i);
            bool keep = false;
            for (const char *name : KeptImporters)
                keep = keep || (desc && std::strcmp(desc->mName, name) == 0);
            if (keep) {
                kept++;
            } else {
                Assimp::BaseImporter *taken = importer.GetImporter(i);
                if (importer.UnregisterLoader(taken) == aiReturn_SUCCESS) removed.push_back(taken);
            }
        }
    }
    ~LimitedImporter() {
        importer.FreeScene();
        for (Assimp::BaseImporter *taken : removed) importer.RegisterLoader(taken);
    }
    Assimp::Importer importer;
    std::vector<Assimp::BaseImporter *> removed;
    size_t kept = 0;
};

std::string OneLine(const std::string &text) {
    std::string out;
    for (char c : text) out += c == '\n' || c == '\r' ? ' ' : c;
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

float ColourChannel(float c) {
    // 0..1 to 0..255, to the nearest whole number, clamped.
    float v = std::floor(c * 255.0f + 0.5f);
    return v < 0.0f ? 0.0f : v > 255.0f ? 255.0f : v;
}

// The file's own material colour, if it has one. assimp makes a material up
// for every mesh without: PLY, STL and OFF have no material colours (what
// assimp gives them is its own default); an OBJ's made-up material is named
// so; a glTF file's default material comes after all of the file's own.
bool MaterialColour(ModelFormat format, const aiScene &scene, const aiMesh &mesh, float rgb[3]) {
    if (format != ModelFormat::Obj && format != ModelFormat::Gltf) return false;
    if (mesh.mMaterialIndex >= scene.mNumMaterials || !scene.mMaterials) return false;
    if (format == ModelFormat::Gltf && mesh.mMaterialIndex == scene.mNumMaterials - 1) return false;
    const aiMaterial *material = scene.mMaterials[mesh.mMaterialIndex];
    if (!material) return false;
    aiString name;
    if (format == ModelFormat::Obj && material->Get(AI_MATKEY_NAME, name) == aiReturn_SUCCESS &&
        std::strcmp(name.C_Str(), AI_DEFAULT_MATERIAL_NAME) == 0)
        return false;
    aiColor4D diffuse;
    if (aiGetMaterialColor(material, AI_MATKEY_COLOR_DIFFUSE, &diffuse) != aiReturn_SUCCESS)
        return false;
    if (!std::isfinite(diffuse.r) || !std::isfinite(diffuse.g) || !std::isfinite(diffuse.b))
        return false;
    rgb[0] = ColourChannel(diffuse.r), rgb[1] = ColourChannel(diffuse.g),
    rgb[2] = ColourChannel(diffuse.b);
    return true;
}

bool IsIdentity(const aiMatrix4x4 &m) {
    const aiMatrix4x4 one;
    return std::memcmp(&m, &one, sizeof m) == 0;
}

// Points are column vectors, rows as assimp stores them; fixed grouping.
void TransformPoint(const aiMatrix4x4 &m, const aiVector3D &p, float out[3]) {
    out[0] = ((m.a1 * p.x + m.a2 * p.y) + m.a3 * p.z) + m.a4;
    out[1] = ((m.b1 * p.x + m.b2 * p.y) + m.b3 * p.z) + m.b4;
    out[2] = ((m.c1 * p.x + m.c2 * p.y) + m.c3 * p.z) + m.c4;
}

void TransformDirection(const aiMatrix3x3 &m, const aiVector3D &d, float out[3]) {
    out[0] = (m.a1 * d.x + m.a2 * d.y) + m.a3 * d.z;
    out[1] = (m.b1 * d.x + m.b2 * d.y) + m.b3 * d.z;
    out[2] = (m.c1 * d.x + m.c2 * d.y) + m.c3 * d.z;
}

struct Converter {
    ModelFormat format;
    const aiScene &scene;
    ImportedModel &model;
    std::string &reason;

    std::string MeshName(unsigned index) const {
        return scene.mNumMeshes > 1 ? "mesh " + Count(index) + ", " : "";
    }

    // Every face of every mesh, before anything reads through an index: a
    // face too small or an index out of range is the file's fault, named as such.
    bool CheckFaces() const {
        for (unsigned m = 0; m < scene.mNumMeshes; m++) {
            const aiMesh *mesh = scene.mMeshes[m];
            const std::string where = MeshName(m);
            if (!mesh || mesh->mNumVertices == 0 || !mesh->mVertices || mesh->mNumFaces == 0 ||
                !mesh->mFaces)
                return reason = where + "has no faces", false;
            for (unsigned f = 0; f < mesh->mNumFaces; f++) {
                const aiFace &face = mesh->mFaces[f];
                if (face.mNumIndices < 3 || !face.mIndices)
                    return reason = where + "face " + Count(f) + " has " + Count(face.mNumIndices) +
                                    (face.mNumIndices == 1 ? " corner" : " corners") +
                                    "; a face needs at least 3",
                           false;
                for (unsigned k = 0; k < face.mNumIndices; k++)
                    if (face.mIndices[k] >= mesh->mNumVertices)
                        return reason = where + "face " + Count(f) + " refers to vertex " +
                                        Count(face.mIndices[k]) + " of " +
                                        Count(mesh->mNumVertices),
                               false;
            }
        }
        return true;
    }

    // Appends one placed copy of a mesh (its faces checked).
    bool AddMesh(unsigned index, const aiMatrix4x4 &transform) {
        const aiMesh *mesh = scene.mMeshes[index];
        const std::string where = MeshName(index);
        const uint64_t base = model.positions.size() / 3;
        if (base + mesh->mNumVertices > ModelMaxVertices)
            return reason = "has more than the " + Count(ModelMaxVertices) +
                            " vertices a model may have",
                   false;
        uint64_t triangles = model.triangles.size() / 3;
        for (unsigned f = 0; f < mesh->mNumFaces; f++) triangles += mesh->mFaces[f].mNumIndices - 2;
        if (triangles > ModelMaxTriangles)
            return reason = "has more than the " + Count(ModelMaxTriangles) +
                            " triangles a model may have",
                   false;
        const bool identity = IsIdentity(transform);
        aiMatrix3x3 normalMatrix(transform);
        normalMatrix.Inverse().Transpose();
        float material[3] = {PlainModelGrey, PlainModelGrey, PlainModelGrey};
        MaterialColour(format, scene, *mesh, material);
        const bool own = mesh->HasVertexColors(0);
        // OFF colours come as 0..1 or as whole numbers 0..255 (assimp passes
        // either on as it is): a channel above 1 says which.
        float unit = 1.0f;
        if (own && format == ModelFormat::Off)
            for (unsigned v = 0; v < mesh->mNumVertices; v++) {
                const aiColor4D &k = mesh->mColors[0][v];
                if (k.r > 1.0f || k.g > 1.0f || k.b > 1.0f) unit = 255.0f;
            }
        for (unsigned v = 0; v < mesh->mNumVertices; v++) {
            const aiVector3D &p = mesh->mVertices[v];
            float out[3] = {p.x, p.y, p.z};
            if (!identity) TransformPoint(transform, p, out);
            if (!std::isfinite(out[0]) || !std::isfinite(out[1]) || !std::isfinite(out[2]))
                return reason = where + "vertex " + Count(v) +
                                " has a coordinate that is not a finite number",
                       false;
            model.positions.insert(model.positions.end(), out, out + 3);
            float n[3] = {0.0f, 0.0f, 0.0f};
            if (mesh->mNormals) {
                const aiVector3D &d = mesh->mNormals[v];
                if (identity)
                    n[0] = d.x, n[1] = d.y, n[2] = d.z;
                else
                    TransformDirection(normalMatrix, d, n);
                // A normal that is no direction is as good as none.
                if (!std::isfinite(n[0]) || !std::isfinite(n[1]) || !std::isfinite(n[2]))
                    n[0] = n[1] = n[2] = 0.0f;
            }
            model.normals.insert(model.normals.end(), n, n + 3);
            float c[3] = {material[0], material[1], material[2]};
            if (own) {
                const aiColor4D &k = mesh->mColors[0][v];
                if (!std::isfinite(k.r) || !std::isfinite(k.g) || !std::isfinite(k.b))
                    return reason = where + "vertex " + Count(v) +
                                    " has a colour that is not a finite number",
                           false;
                c[0] = ColourChannel(k.r / unit), c[1] = ColourChannel(k.g / unit),
                c[2] = ColourChannel(k.b / unit);
            }
            model.colours.insert(model.colours.end(), c, c + 3);
            model.ownColour.push_back(own ? 1 : 0);
        }
        // Each face fanned from its first corner, in the file's order.
        for (unsigned f = 0; f < mesh->mNumFaces; f++) {
            const aiFace &face = mesh->mFaces[f];
            for (unsigned k = 1; k + 1 < face.mNumIndices; k++) {
                model.triangles.push_back((uint32_t)(base + face.mIndices[0]));
                model.triangles.push_back((uint32_t)(base + face.mIndices[k]));
                model.triangles.push_back((uint32_t)(base + face.mIndices[k + 1]));
            }
        }
        return true;
    }

    // The node tree depth first, each node's meshes in order, with the
    // transforms of its ancestors applied.
    bool AddNodes() {
        struct Visit {
            const aiNode *node;
            aiMatrix4x4 transform;
            int depth;
        };
        std::vector<Visit> stack;
        if (scene.mRootNode)
            stack.push_back({scene.mRootNode, scene.mRootNode->mTransformation, 0});
        while (!stack.empty()) {
            const Visit visit = stack.back();
            stack.pop_back();
            if (visit.depth > MaxNodeDepth)
                return reason = "has a node tree deeper than " + Count(MaxNodeDepth), false;
            for (unsigned i = 0; i < visit.node->mNumMeshes; i++) {
                const unsigned mesh = visit.node->mMeshes[i];
                if (mesh >= scene.mNumMeshes)
                    return reason = "a node refers to a mesh it does not hold", false;
                if (!AddMesh(mesh, visit.transform)) return false;
            }
            for (unsigned i = visit.node->mNumChildren; i-- > 0;) {
                const aiNode *child = visit.node->mChildren[i];
                if (child)
                    stack.push_back(
                        {child, visit.transform * child->mTransformation, visit.depth + 1});
            }
        }
        if (model.triangles.empty()) return reason = "holds no triangles", false;
        return true;
    }
};

} // namespace

bool ImportModel(ModelFormat format, const unsigned char *bytes, size_t size,
                 const std::string &path, const std::string &directory, ImportedModel &model,
                 std::string &reason) {
    LimitedImporter limited;
    if (limited.kept != sizeof KeptImporters / sizeof *KeptImporters)
        return reason = "this build's model library lacks some of the PLY, OBJ, STL, OFF and glTF "
                        "2.0 readers",
               false;
    Assimp::Importer &importer = limited.importer;
    ModelFiles *files = new ModelFiles(bytes, size, path, directory);
    importer.SetIOHandler(files); // the importer owns it from here
    ImportDeadline *deadline = new ImportDeadline;
    importer.SetProgressHandler(deadline); // and this
    // Never more than one bone weight set or skeleton: only the triangles matter.
    importer.SetPropertyBool(AI_CONFIG_IMPORT_NO_SKELETON_MESHES, true);
    const aiScene *scene = nullptr;
    try {
        scene = importer.ReadFile(path, 0);
    } catch (const std::bad_alloc &) {
        return reason = "not enough memory to read it", false;
    } catch (const std::exception &e) {
        return reason = OneLine(e.what()), false;
    }
    if (!scene) {
        if (deadline->Passed())
            return reason = "took longer than the " + Count((uint64_t)ModelMaxImportSeconds) +
                            " s an import may",
                   false;
        if (!files->refused().empty()) return reason = files->refused(), false;
        const std::string why = OneLine(importer.GetErrorString());
        return reason = why.empty() ? "cannot be read" : why, false;
    }
    if (scene->mNumMeshes == 0 || !scene->mMeshes) return reason = "holds no meshes", false;
    try {
        if (!Converter{format, *scene, model, reason}.CheckFaces()) return false;
        // The library's own check of everything else, always, before the
        // conversion reads the scene.
        scene = importer.ApplyPostProcessing(aiProcess_ValidateDataStructure);
        if (!scene) {
            const std::string why = OneLine(importer.GetErrorString());
            return reason = why.empty() ? "is damaged" : why, false;
        }
        if (!Converter{format, *scene, model, reason}.AddNodes()) return false;
    } catch (const std::bad_alloc &) {
        return reason = "not enough memory to hold it", false;
    }
    return true;
}
