#include "video/engine/frame_filters.h"
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <QStringList>
#include "video/engine/ff_loader.h"
#include "video/engine/ff_logger.h"

namespace vel::video {

namespace {

// Messages go the way FFmpeg's own would, through the engine logger's
// callback (level filter and repeat suppression included).
void FilterLog(int level, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void FilterLog(int level, const char* fmt, ...) {
    va_list vl;
    va_start(vl, fmt);
    QString text = QString::vasprintf(fmt, vl);
    va_end(vl);
    if (ff::av_log) {
        ff::av_log(nullptr, level, "%s", text.toLatin1().constData());
    } else {
        if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
        FFLogger().Log(nullptr, AVLogToLevel(level), text);
    }
}

const AVPixelFormat kFormats[] = {AV_PIX_FMT_YUV420P,  AV_PIX_FMT_YUV422P,  AV_PIX_FMT_YUV444P, AV_PIX_FMT_YUV410P,
                                  AV_PIX_FMT_YUV411P,  AV_PIX_FMT_YUV440P,  AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUVJ422P,
                                  AV_PIX_FMT_YUVJ444P, AV_PIX_FMT_YUVJ440P};

// Chroma shifts of an accepted format.
void ChromaShifts(int fmt, int& hs, int& vs) {
    const AVPixFmtDescriptor* d = ff::av_pix_fmt_desc_get(AVPixelFormat(fmt));
    hs = d ? d->log2_chroma_w : 1;
    vs = d ? d->log2_chroma_h : 1;
}

// Size of a chroma plane: rounded up, so an odd last row or column counts.
int ChromaSize(int n, int shift) { return -((-n) >> shift); }

uint8_t Clip(int v) { return uint8_t(std::clamp(v, 0, 255)); }

} // namespace

bool FilterAcceptsFormat(int pixFmt) {
    return std::find(std::begin(kFormats), std::end(kFormats), AVPixelFormat(pixFmt)) != std::end(kFormats);
}

void EqLuma(uint8_t* rows, int rowLen, int width, int height, int contrast, int brightness) {
    const int k = ((contrast + 100) * 65536) / 100;
    const int t = ((brightness + 100) * 511) / 200 - 128 - (k >> 9);
    for (int r = 0; r < height; ++r) {
        uint8_t* p = rows + ptrdiff_t(r) * rowLen;
        for (int c = 0; c < width; ++c) p[c] = Clip(((p[c] * k) >> 16) + t);
    }
}

void HueChroma(uint8_t* u, int uRowLen, uint8_t* v, int vRowLen, int saturation, int hue, int rows, int width) {
    const long double a = hue * 3.14159265358979323846264338327950288L / 100;
    const int C = int(std::floor(std::cos(a) * 65536 * (saturation + 100) / 100 + 0.5L));
    const int S = int(std::floor(std::sin(a) * 65536 * (saturation + 100) / 100 + 0.5L));
    for (int r = 0; r < rows; ++r) {
        uint8_t* pu = u + ptrdiff_t(r) * uRowLen;
        uint8_t* pv = v + ptrdiff_t(r) * vRowLen;
        for (int c = 0; c < width; ++c) {
            const int du = pu[c] - 128;
            const int dv = pv[c] - 128;
            pu[c] = Clip((C * du - S * dv + 128 * 65536 + 32768) >> 16);
            pv[c] = Clip((S * du + C * dv + 128 * 65536 + 32768) >> 16);
        }
    }
}

TEqualizerFilter::TEqualizerFilter(Kind kind, TPictureParams* host) : kind_(kind), params_(host ? host : &own_) {}

void TEqualizerFilter::Clamp(std::atomic<int>& cell, int& value, const char* name) {
    if (value >= -100 && value <= 100) return;
    const int forced = value < -100 ? -100 : 100;
    FilterLog(AV_LOG_ERROR, "Invalid %s value %d, force to %d\n", name, value, forced);
    int expected = value;
    cell.compare_exchange_strong(expected, forced);  // unless the host changed it meanwhile
    value = forced;
}

void TEqualizerFilter::LogValues() {
    if (kind_ == Kind::Eq)
        FilterLog(AV_LOG_DEBUG, "brightness:%d, contrast:%d\n", last1_, last2_);
    else
        FilterLog(AV_LOG_DEBUG, "hue:%d, saturation:%d\n", last1_, last2_);
}

bool TEqualizerFilter::Init(const QString& args) {
    own_.First = 0;
    own_.Second = 0;
    if (!args.trimmed().isEmpty()) {
        const QStringList tokens = args.split(QLatin1Char(':'));
        if (tokens.size() > 2) {
            FilterLog(AV_LOG_ERROR, "failed to parsing parameters: %s\n", "too many values");
            return false;
        }
        for (int i = 0; i < tokens.size(); ++i) {
            const QString tok = tokens[i].trimmed();
            if (tok.isEmpty()) continue;
            bool ok = false;
            const int v = tok.toInt(&ok);
            if (!ok) {
                const QByteArray msg = QStringLiteral("'%1' is not a valid integer value").arg(tok).toUtf8();
                FilterLog(AV_LOG_ERROR, "failed to parsing parameters: %s\n", msg.constData());
                return false;
            }
            (i == 0 ? own_.First : own_.Second) = v;
        }
    }
    const char* n1 = kind_ == Kind::Eq ? "brightness" : "hue";
    const char* n2 = kind_ == Kind::Eq ? "contrast" : "saturation";
    int v1 = params_->First.load();
    int v2 = params_->Second.load();
    Clamp(params_->First, v1, n1);
    Clamp(params_->Second, v2, n2);
    last1_ = v1;
    last2_ = v2;
    LogValues();
    process_ = v1 != 0 || v2 != 0 || params_ != &own_;
    return true;
}

bool TEqualizerFilter::Filter(AVFrame* frame) {
    if (!frame || !FilterAcceptsFormat(frame->format)) return false;
    const char* n1 = kind_ == Kind::Eq ? "brightness" : "hue";
    const char* n2 = kind_ == Kind::Eq ? "contrast" : "saturation";
    // Each value read once per frame, for the decision and the work.
    int v1 = params_->First.load();
    int v2 = params_->Second.load();
    Clamp(params_->First, v1, n1);
    Clamp(params_->Second, v2, n2);
    if (v1 != last1_ || v2 != last2_) {
        last1_ = v1;
        last2_ = v2;
        LogValues();
    }
    if (!process_ || (v1 == 0 && v2 == 0)) return true;
    if (kind_ == Kind::Eq) {
        EqLuma(frame->data[0], frame->linesize[0], frame->width, frame->height, v2, v1);
    } else {
        int hs, vs;
        ChromaShifts(frame->format, hs, vs);
        HueChroma(frame->data[1], frame->linesize[1], frame->data[2], frame->linesize[2], v2, v1,
                  ChromaSize(frame->height, vs), ChromaSize(frame->width, hs));
    }
    return true;
}

bool TRotateFilter::Init(const QString& args) {
    angle_ = 45;
    if (args.trimmed().isEmpty()) return true;
    bool ok = false;
    const int a = args.trimmed().toInt(&ok);
    if (!ok) return false;
    angle_ = a;
    return true;
}

namespace {

struct Geometry {
    float sin, cos, transx, transy;
    int outW, outH;
};

Geometry MakeGeometry(int angle, int w, int h) {
    Geometry g;
    const float a = float(angle) * float(M_PI) / 180.0f;
    g.sin = std::sin(a);
    g.cos = std::cos(a);
    g.transx = std::max(0.0f, h * g.sin) + std::max(0.0f, -w * g.cos);
    g.transy = std::max(0.0f, -h * g.cos) + std::max(0.0f, -w * g.sin);
    g.outW = int(std::floor(g.transx + std::max(0.0f, w * g.cos) + std::max(0.0f, -h * g.sin)));
    g.outH = int(std::floor(g.transy + std::max(0.0f, w * g.sin) + std::max(0.0f, h * g.cos)));
    return g;
}

} // namespace

void TRotateFilter::OutputSize(int w, int h, int& outW, int& outH) const {
    const Geometry g = MakeGeometry(angle_, w, h);
    outW = g.outW;
    outH = g.outH;
}

AVFrame* TRotateFilter::Filter(const AVFrame* in) const {
    if (!in || !FilterAcceptsFormat(in->format) || in->width <= 0 || in->height <= 0) return nullptr;
    const int w = in->width, h = in->height;
    const Geometry g = MakeGeometry(angle_, w, h);
    if (g.outW <= 0 || g.outH <= 0) return nullptr;
    AVFrame* out = ff::av_frame_alloc();
    if (!out) return nullptr;
    out->format = in->format;
    out->width = g.outW;
    out->height = g.outH;
    if (ff::av_frame_get_buffer(out, 0) < 0) {
        ff::av_frame_free(&out);
        return nullptr;
    }
    out->pts = in->pts;
    out->pkt_pos = in->pkt_pos;
    out->sample_aspect_ratio = in->sample_aspect_ratio.num != 0
                                   ? AVRational{in->sample_aspect_ratio.den, in->sample_aspect_ratio.num}
                                   : in->sample_aspect_ratio;
    auto mapX = [&](float i, float j) { return int(std::floor(g.sin * (i - g.transy) + g.cos * (j - g.transx) + 0.5f)); };
    auto mapY = [&](float i, float j) { return int(std::floor(g.cos * (i - g.transy) - g.sin * (j - g.transx) + 0.5f)); };
    for (int i = 0; i < g.outH; ++i) {
        uint8_t* row = out->data[0] + ptrdiff_t(i) * out->linesize[0];
        for (int j = 0; j < g.outW; ++j) {
            const int x = mapX(float(i), float(j)), y = mapY(float(i), float(j));
            row[j] = (x >= 0 && x < w && y >= 0 && y < h) ? in->data[0][ptrdiff_t(y) * in->linesize[0] + x] : 16;
        }
    }
    int hs, vs;
    ChromaShifts(in->format, hs, vs);
    const int cw = ChromaSize(g.outW, hs), ch = ChromaSize(g.outH, vs);
    for (int p = 1; p <= 2; ++p) {
        for (int i = 0; i < ch; ++i) {
            uint8_t* row = out->data[p] + ptrdiff_t(i) * out->linesize[p];
            const int i2 = (i + vs / 2) << vs;
            for (int j = 0; j < cw; ++j) {
                const int j2 = (j + hs / 2) << hs;
                const int x = mapX(float(i2), float(j2)), y = mapY(float(i2), float(j2));
                row[j] = (x >= 0 && x < w && y >= 0 && y < h)
                             ? in->data[p][ptrdiff_t((y + vs / 2) >> vs) * in->linesize[p] + ((x + hs / 2) >> hs)]
                             : 128;
            }
        }
    }
    return out;
}

} // namespace vel::video
