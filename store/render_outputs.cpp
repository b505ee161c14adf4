#include "store/render_outputs.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <set>

namespace {

const char* const SeveralFilesHint = " To draw several files, give --out-dir DIR: tavimeter --render IN... --out-dir DIR.";

std::string FileName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool EndsInPng(const std::string& path)
{
    if (path.size() < 4)
        return false;
    std::string end = path.substr(path.size() - 4);
    std::transform(end.begin(), end.end(), end.begin(), [](unsigned char c) { return std::tolower(c); });
    return end == ".png";
}

// Both name one file (stat follows links) that exists.
bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

enum class Existing { None, Empty, Png, Other, Folder, Unreadable };

// What is at `path` already, by its first bytes.
Existing WhatIsAt(const std::string& path)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return Existing::None;
    if (S_ISDIR(info.st_mode))
        return Existing::Folder;
    if (S_ISREG(info.st_mode) && info.st_size == 0)
        return Existing::Empty;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return Existing::Unreadable;
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    unsigned char first[8] = {};
    const size_t got = std::fread(first, 1, sizeof first, file);
    std::fclose(file);
    return got == sizeof first && std::memcmp(first, signature, sizeof first) == 0 ? Existing::Png : Existing::Other;
}

// Why the picture may not go to `output`; empty when it may.
std::string OutputProblem(const std::string& output, const RenderRequest& request)
{
    for (const std::string& input : request.inputs)
        if (output == input || SameFile(output, input))
            return output + " is one of the inputs: its picture would be written over it.";
    switch (WhatIsAt(output)) {
    case Existing::Folder:
        return output + " is a folder, not a picture.";
    case Existing::Unreadable:
        return output + " exists and cannot be read to make sure it is a PNG picture; it is left as it is.";
    case Existing::Other:
        return output + " exists and is not a PNG picture: --render replaces only PNG pictures.";
    default:
        break;
    }
    if (!EndsInPng(output))
        return "The picture would be written to " + output + ", whose name does not end in .png.";
    return std::string();
}

std::vector<std::string> NamesInFolder(const RenderRequest& request)
{
    std::vector<std::string> paths;
    std::set<std::string> taken;
    for (const std::string& input : request.inputs) {
        const std::string name = FileName(input);
        std::string candidate = name + ".png";
        for (int n = 2; !taken.insert(candidate).second; ++n)
            candidate = name + "-" + std::to_string(n) + ".png";
        paths.push_back(request.outDir + "/" + candidate);
    }
    return paths;
}

} // namespace

RenderOutputs PlanRenderOutputs(const RenderRequest& request)
{
    RenderOutputs plan;
    if (!request.outDir.empty()) {
        struct stat info;
        if (stat(request.outDir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            plan.problem = "The folder " + request.outDir + " does not exist; --out-dir writes into a folder that does.";
            return plan;
        }
        plan.paths = NamesInFolder(request);
    } else {
        plan.paths.assign(request.inputs.size(), request.output);
    }
    for (const std::string& output : plan.paths) {
        const std::string problem = OutputProblem(output, request);
        if (!problem.empty()) {
            plan.problem = problem + (request.outDir.empty() ? SeveralFilesHint : "");
            plan.paths.clear();
            return plan;
        }
    }
    return plan;
}
