#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "store/render_outputs.h"

namespace {

class RenderOutputs : public ::testing::Test {
protected:
    void SetUp() override
    {
        char name[] = "/tmp/tavi_outputs_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        folder = name;
        ASSERT_EQ(mkdir((folder + "/sub").c_str(), 0755), 0);
        for (const char* sound : {"take1.wav", "take2.wav", "sub/take1.wav"})
            std::ofstream(folder + "/" + sound) << "RIFF....WAVEfmt ";
        std::ofstream(folder + "/old.png") << "\x89PNG\r\n\x1a\n....IHDR";
        std::ofstream(folder + "/notes.png") << "not a picture";
        std::ofstream(folder + "/empty.png");
        ASSERT_EQ(symlink("take1.wav", (folder + "/link.wav").c_str()), 0);
    }
    void TearDown() override { std::system(("rm -rf " + folder).c_str()); }

    std::string At(const std::string& name) const { return folder + "/" + name; }

    std::string folder;
};

// One input and OUT: where writing would lose a file, the plan is refused
// with the reason and a pointer to --out-dir; otherwise the picture goes to
// OUT.
TEST_F(RenderOutputs, OneOutputIsRefusedWhereItWouldLoseAFile)
{
    const struct {
        const char* output;
        const char* problem;  // empty: allowed
    } cases[] = {
        {"take2.wav", "exists and is not a PNG picture"},  // --out-dir forgotten
        {"take1.wav", "is one of the inputs"},
        {"link.wav", "is one of the inputs"},  // the input under another name
        {"new.flac", "does not end in .png"},
        {"notes.png", "exists and is not a PNG picture"},
        {"sub", "is a folder"},
        {"old.png", ""},
        {"empty.png", ""},
        {"new.PNG", ""},
    };
    for (const auto& c : cases) {
        RenderRequest request;
        request.inputs = {At("take1.wav")};
        request.output = At(c.output);
        const ::RenderOutputs plan = PlanRenderOutputs(request);
        if (*c.problem) {
            EXPECT_NE(plan.problem.find(c.problem), std::string::npos) << c.output << ": " << plan.problem;
            EXPECT_NE(plan.problem.find("--out-dir"), std::string::npos) << c.output;
            EXPECT_TRUE(plan.paths.empty());
        } else {
            EXPECT_EQ(plan.problem, "") << c.output;
            EXPECT_EQ(plan.paths, std::vector<std::string>{At(c.output)});
        }
    }
}

// --out-dir: every input its own name, the extension kept and shared names
// numbered in order; a folder that does not exist is refused.
TEST_F(RenderOutputs, EachInputGetsItsOwnNameInTheFolder)
{
    RenderRequest request;
    request.inputs = {At("take1.wav"), At("sub/take1.wav"), At("take1.flac"), At("take1.wav")};
    request.outDir = At("sub");
    const ::RenderOutputs plan = PlanRenderOutputs(request);
    EXPECT_EQ(plan.problem, "");
    EXPECT_EQ(plan.paths, (std::vector<std::string>{At("sub/take1.wav.png"), At("sub/take1.wav-2.png"),
                                                    At("sub/take1.flac.png"), At("sub/take1.wav-3.png")}));

    request.outDir = At("missing");
    EXPECT_NE(PlanRenderOutputs(request).problem.find("does not exist"), std::string::npos);
    request.outDir = folder;
    request.inputs = {At("notes")};  // would go to notes.png, which is not a picture
    std::ofstream(At("notes")) << "RIFF";
    EXPECT_NE(PlanRenderOutputs(request).problem.find("not a PNG picture"), std::string::npos);
}

} // namespace
