#include "app/file_render.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <memory>
#include <thread>

#include "display/colour_map.h"
#include "display/file_picture.h"
#include "display/frequency_scale.h"
#include "dsp/window_functions.h"
#include "framework/dialog_builder.h"
#include "framework/frequency_scale_painter.h"
#include "framework/qt_drawing_context.h"
#include "input/audio_file_reader.h"
#include "resources/dialog_templates.h"
#include "settings/shared_settings.h"
#include "store/command_line.h"
#include "store/profile.h"
#include "store/render_outputs.h"
#include "store/replacement_file.h"
#include "store/stored_settings.h"

namespace {

// Qt's PNG quality q asks zlib for level (100 - q) * 9 / 91: 50 gives 4.
constexpr int PngQuality = 50;

const char* const ViewNames[] = {"2-D spectrogram", "constant-Q spectrogram", "", "LPC spectrogram"};

std::string BaseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The main window's height as stored, else as it first opens.
int StoredPictureHeight(CProfile& profile)
{
    const int top = profile.ReadInt("Window", "Top");
    const int bottom = profile.ReadInt("Window", "Bottom");
    if (bottom - top >= 16 && bottom - top <= 16384)
        return bottom - top;
    const DialogTemplate* t = FindDialogTemplate(MainWindowTemplate);
    return DialogUnitsToPixels(t->cx, t->cy, 96).height();
}

std::string Duration(double seconds)
{
    char text[32];
    const int minutes = static_cast<int>(seconds / 60);
    std::snprintf(text, sizeof text, "%d:%04.1f", minutes, seconds - 60.0 * minutes);
    return text;
}

std::string Caption(const std::string& input, const RenderRequest& request, int mode, const CFilePicture& picture)
{
    char text[512];
    const int type = SharedSettings.WindowType >= 0 && SharedSettings.WindowType < static_cast<int>(WindowTypeCount)
                         ? SharedSettings.WindowType
                         : 0;
    std::snprintf(text, sizeof text, "%s   %s from %s   %s   %s %d   %s axis to %.0f Hz   contrast %d to %d",
                  BaseName(input).c_str(), Duration(picture.Seconds()).c_str(), Duration(request.from).c_str(),
                  ViewNames[mode], WindowTypeNames[type], SharedSettings.WindowSize,
                  SharedSettings.LogScale ? "log" : "linear", static_cast<double>(SharedSettings.MaxFreq),
                  SharedSettings.ContrastLow, SharedSettings.ContrastHigh);
    return text;
}

// Prints the percentage done on stderr at most twice a second, only when
// stderr is a terminal.
class Progress {
public:
    explicit Progress(std::string name) : name(std::move(name)), shown(isatty(STDERR_FILENO) != 0) {}
    ~Progress()
    {
        if (printed)
            std::fprintf(stderr, "\r%*s\r", static_cast<int>(name.size()) + 8, "");
    }
    void operator()(double fraction)
    {
        const auto now = std::chrono::steady_clock::now();
        if (!shown || now - last < std::chrono::milliseconds(500))
            return;
        last = now;
        printed = true;
        std::fprintf(stderr, "\r%s: %3d %%", name.c_str(), static_cast<int>(fraction * 100));
        std::fflush(stderr);
    }

private:
    std::string name;
    bool shown;
    bool printed = false;
    std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();
};

int CaptionRows()
{
    return QFontMetrics(QFont()).height() + 4;
}

// Qt's offscreen platform asks for a runtime folder it does not need here.
void QuietRuntimeFolderWarning(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, message).toLocal8Bit().constData());
}

// The picture with its caption line above and the frequency scale over it.
QImage Compose(const CFilePicture& picture, const std::string& caption, int mode, bool frequencyScale)
{
    const QImage columns(reinterpret_cast<const uchar*>(picture.Pixels().data()), picture.Width(), picture.Height(),
                         picture.Width() * 4, QImage::Format_RGB32);
    const int top = caption.empty() ? 0 : CaptionRows();
    QImage image(picture.Width(), top + picture.Height(), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.drawImage(0, top, columns);
    if (!caption.empty()) {
        painter.setPen(QColor(0xC0, 0xC0, 0xC0));
        painter.drawText(QRect(4, 0, image.width() - 8, top), Qt::AlignVCenter | Qt::AlignLeft,
                         QString::fromStdString(caption));
    }
    if (frequencyScale) {
        painter.translate(0, top);
        painter.setClipRect(0, 0, picture.Width(), picture.Height());
        PaintFrequencyScale(painter, FrequencyScaleTicks(ScaleView{mode, picture.Height(), 1.0, 0,
                                                                   FrequencyScaleLabelSpace(painter)}));
    }
    return image;
}

bool WritePng(const QImage& image, const std::string& path, std::string& problem)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    // zlib's level 4 rather than its default 6: a third of the time (0.14
    // against 0.46 s for a 1920 x 1080 picture, the longest single step of a
    // render) for a file about 5 % larger.
    if (!image.save(&buffer, "PNG", PngQuality)) {
        problem = "The picture could not be encoded as PNG.";
        return false;
    }
    std::string reason;
    if (!ReplaceFileContents(path, bytes.constData(), static_cast<size_t>(bytes.size()), reason)) {
        problem = "The picture could not be written to " + path + ": " + reason;
        return false;
    }
    return true;
}

bool RenderFile(const std::string& input, const std::string& output, const CommandLine& line, bool frequencyScale,
                int height)
{
    if (!line.renderRequest.bare)
        height -= CaptionRows();
    const RenderRequest& request = line.renderRequest;
    AudioFileReader reader;
    std::string problem;
    if (!reader.Open(input, problem)) {
        std::fprintf(stderr, "tavimeter: %s\n", problem.c_str());
        return false;
    }
    if (!reader.Notice().empty())
        std::fprintf(stderr, "tavimeter: %s\n", reader.Notice().c_str());
    const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    FilePictureRequest wanted{line.displayMode, height, request.width, request.from, request.to, threads};
    CFilePicture picture;
    CImageSurfaceFactory surfaces;
    bool drawn = false;
    {
        Progress progress(BaseName(input));
        drawn = picture.Draw(input, wanted, surfaces, [&progress](double f) { progress(f); }, problem);
    }
    if (!drawn) {
        std::fprintf(stderr, "tavimeter: %s: %s\n", input.c_str(), problem.c_str());
        return false;
    }
    const std::string caption = request.bare ? std::string() : Caption(input, request, line.displayMode, picture);
    if (!WritePng(Compose(picture, caption, line.displayMode, frequencyScale && !request.bare), output, problem)) {
        std::fprintf(stderr, "tavimeter: %s\n", problem.c_str());
        return false;
    }
    return true;
}

} // namespace

int RenderFiles(char* program, const CommandLine& line, CProfile& profile)
{
    const RenderRequest& request = line.renderRequest;
    const RenderOutputs outputs = PlanRenderOutputs(request);
    if (!outputs.problem.empty()) {
        std::fprintf(stderr, "tavimeter: %s\n", outputs.problem.c_str());
        return 2;
    }
    std::unique_ptr<CProfile> other;
    if (!request.iniFile.empty()) {
        if (FILE* f = std::fopen(request.iniFile.c_str(), "r")) {
            std::fclose(f);
        } else {
            std::fprintf(stderr, "tavimeter: the settings file %s cannot be read.\n", request.iniFile.c_str());
            return 1;
        }
        other = std::make_unique<CProfile>(request.iniFile);
    }
    CProfile& settings = other ? *other : profile;
    LoadStoredSettings(settings, SharedSettings);
    RebuildColorMap();
    const bool frequencyScale = settings.ReadInt("View", "FrequencyScale") != 0;

    // Fonts for the caption and the scale come from Qt's offscreen
    // platform: no display, whatever QT_QPA_PLATFORM says.
    std::vector<char*> arguments{program, const_cast<char*>("-platform"), const_cast<char*>("offscreen")};
    int count = static_cast<int>(arguments.size());
    qInstallMessageHandler(QuietRuntimeFolderWarning);
    QGuiApplication application(count, arguments.data());
    qInstallMessageHandler(nullptr);
    std::setlocale(LC_NUMERIC, "C");
    // --size is the whole PNG's; by default the picture is the window's.
    const int height = request.height > 0 ? request.height
                                          : StoredPictureHeight(settings) + (request.bare ? 0 : CaptionRows());
    if (!request.bare && height - CaptionRows() < CFilePicture::MinimumRows) {
        std::fprintf(stderr,
                     "tavimeter: --size %dx%d leaves %d rows for the picture: the caption line takes %d and the "
                     "picture needs at least %d. Give a height of at least %d, or --bare for no caption.\n",
                     request.width, request.height, std::max(0, height - CaptionRows()), CaptionRows(),
                     CFilePicture::MinimumRows, CaptionRows() + CFilePicture::MinimumRows);
        return 2;
    }
    bool allDrawn = true;
    for (size_t i = 0; i < request.inputs.size(); ++i)
        allDrawn = RenderFile(request.inputs[i], outputs.paths[i], line, frequencyScale, height) && allDrawn;
    return allDrawn ? 0 : 1;
}
