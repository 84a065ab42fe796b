#include "app/model_load.h"

#include <cstdio>
#include <new>
#include <utility>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "app/model_format.h"
#include "app/model_import.h"
#include "app/model_light.h"
#include "app/model_place.h"
#include "app/model_precheck.h"
#include "app/model_weld.h"

namespace {

std::string Directory(const std::string &path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

bool Load(const unsigned char *bytes, size_t size, const std::string &name, const std::string &path,
          const std::string &directory, const ModelOptions &options, Mesh &mesh, ModelInfo &info,
          std::string &reason) {
    ModelFormat format;
    if (!IdentifyModelFormat(name, bytes, size, format, reason)) return false;
    info.format = ModelFormatName(format);
    if (!CheckDeclaredCounts(format, bytes, size, reason)) return false;
    if (!CheckReaderFaults(format, bytes, size, reason)) return false;
    ImportedModel model;
    if (!ImportModel(format, bytes, size, path, directory, model, reason)) return false;

    if (options.up == ModelUp::Z) {
        TurnZUp(model.positions);
        TurnZUp(model.normals);
    }
    info.vertexColours = false;
    for (uint8_t own : model.ownColour) info.vertexColours = info.vertexColours || own;
    info.shaded = options.shading;
    for (uint8_t own : model.ownColour) info.shaded = info.shaded && !own;
    if (options.shading) BakeLight(model);

    Mesh built;
    built.positions.swap(model.positions);
    built.colours.swap(model.colours);
    built.indices.swap(model.triangles);
    model = ImportedModel{};
    // One vertex per face corner in these two: stored once from here on.
    if (format == ModelFormat::Obj || format == ModelFormat::Stl) WeldMesh(built);
    if (options.placement == ModelPlacement::Fitted && !FitModel(built.positions, reason))
        return false;
    mesh = std::move(built);
    return true;
}

bool Guarded(const unsigned char *bytes, size_t size, const std::string &name,
             const std::string &path, const std::string &directory, const ModelOptions &options,
             Mesh &mesh, ModelInfo &info, std::string &error) {
    std::string reason;
    bool ok;
    try {
        ok = Load(bytes, size, name, path, directory, options, mesh, info, reason);
    } catch (const std::bad_alloc &) {
        ok = false, reason = "not enough memory to hold it";
    }
    if (!ok) error = name + ": " + reason;
#if defined(__GLIBC__)
    // The reader's scene was made of many small blocks, now free but still
    // resident; hand them back so a big model's drawing is not charged
    // for its reading.
    malloc_trim(0);
#endif
    return ok;
}

} // namespace

bool LoadModelFile(const std::string &path, const ModelOptions &options, Mesh &mesh,
                   ModelInfo &info, std::string &error) {
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return error = path + ": cannot be opened", false;
    std::string bytes;
    char chunk[1 << 16];
    size_t got;
    bool tooBig = false;
    try {
        while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
            if (bytes.size() + got > ModelMaxFileBytes) {
                tooBig = true;
                break;
            }
            bytes.append(chunk, got);
        }
    } catch (const std::bad_alloc &) {
        std::fclose(f);
        return error = path + ": not enough memory to read it", false;
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (tooBig)
        return error = path + ": more than the " + std::to_string(ModelMaxFileBytes) +
                       " bytes a model file may have",
               false;
    if (failed) return error = path + ": cannot be read (is it a folder?)", false;
    return Guarded((const unsigned char *)bytes.data(), bytes.size(), path, path, Directory(path),
                   options, mesh, info, error);
}

bool LoadModelBytes(const void *bytes, size_t size, const std::string &name,
                    const ModelOptions &options, Mesh &mesh, ModelInfo &info, std::string &error) {
    // The importer sees a plain name with the same extension and no folder:
    // nothing beside it can be read.
    const size_t slash = name.find_last_of("/\\");
    const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    return Guarded((const unsigned char *)bytes, size, name, "/memory/" + base, "", options, mesh,
                   info, error);
}

const char *PlacementName(ModelPlacement placement) {
    return placement == ModelPlacement::AsIs ? "as-is" : "fitted";
}

const char *UpName(ModelUp up) { return up == ModelUp::Z ? "z" : "y"; }
