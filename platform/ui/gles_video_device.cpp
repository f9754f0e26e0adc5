#include "platform/ui/gles_video_device.h"

// Only the types and constants of the headers: every entry is looked up in
// the libraries at run time, so nothing links against them.
#define EGL_EGL_PROTOTYPES 0
#define GL_GLES_PROTOTYPES 0
#include <EGL/egl.h>
#include <GLES2/gl2.h>
#include <X11/Xlib.h>
#include <dlfcn.h>

#include <mutex>

#include "platform/platform_log.h"
#include "platform/ui/x11_error_trap.h"
#include "platform/ui/xlib_threads.h"

namespace vz {
namespace {

// The entries this device calls, looked up once per process.
struct GlesApi {
#define VZ_EGL(name) PFN##name##PROC name = nullptr;
#define VZ_GL(name, ret, args) ret(GL_APIENTRY* name) args = nullptr;
  PFNEGLGETPROCADDRESSPROC eglGetProcAddress = nullptr;
  PFNEGLGETDISPLAYPROC eglGetDisplay = nullptr;
  PFNEGLINITIALIZEPROC eglInitialize = nullptr;
  PFNEGLTERMINATEPROC eglTerminate = nullptr;
  PFNEGLBINDAPIPROC eglBindAPI = nullptr;
  PFNEGLCHOOSECONFIGPROC eglChooseConfig = nullptr;
  PFNEGLCREATEWINDOWSURFACEPROC eglCreateWindowSurface = nullptr;
  PFNEGLCREATECONTEXTPROC eglCreateContext = nullptr;
  PFNEGLDESTROYCONTEXTPROC eglDestroyContext = nullptr;
  PFNEGLDESTROYSURFACEPROC eglDestroySurface = nullptr;
  PFNEGLMAKECURRENTPROC eglMakeCurrent = nullptr;
  PFNEGLSWAPBUFFERSPROC eglSwapBuffers = nullptr;
  PFNEGLSWAPINTERVALPROC eglSwapInterval = nullptr;
  PFNEGLGETERRORPROC eglGetError = nullptr;
  PFNEGLRELEASETHREADPROC eglReleaseThread = nullptr;
  PFNGLCREATESHADERPROC glCreateShader = nullptr;
  PFNGLSHADERSOURCEPROC glShaderSource = nullptr;
  PFNGLCOMPILESHADERPROC glCompileShader = nullptr;
  PFNGLGETSHADERIVPROC glGetShaderiv = nullptr;
  PFNGLGETSHADERINFOLOGPROC glGetShaderInfoLog = nullptr;
  PFNGLDELETESHADERPROC glDeleteShader = nullptr;
  PFNGLCREATEPROGRAMPROC glCreateProgram = nullptr;
  PFNGLATTACHSHADERPROC glAttachShader = nullptr;
  PFNGLBINDATTRIBLOCATIONPROC glBindAttribLocation = nullptr;
  PFNGLLINKPROGRAMPROC glLinkProgram = nullptr;
  PFNGLGETPROGRAMIVPROC glGetProgramiv = nullptr;
  PFNGLDELETEPROGRAMPROC glDeleteProgram = nullptr;
  PFNGLUSEPROGRAMPROC glUseProgram = nullptr;
  PFNGLGETUNIFORMLOCATIONPROC glGetUniformLocation = nullptr;
  PFNGLUNIFORM1IPROC glUniform1i = nullptr;
  PFNGLUNIFORM1FPROC glUniform1f = nullptr;
  PFNGLGENTEXTURESPROC glGenTextures = nullptr;
  PFNGLDELETETEXTURESPROC glDeleteTextures = nullptr;
  PFNGLBINDTEXTUREPROC glBindTexture = nullptr;
  PFNGLACTIVETEXTUREPROC glActiveTexture = nullptr;
  PFNGLTEXPARAMETERIPROC glTexParameteri = nullptr;
  PFNGLTEXIMAGE2DPROC glTexImage2D = nullptr;
  PFNGLTEXSUBIMAGE2DPROC glTexSubImage2D = nullptr;
  PFNGLPIXELSTOREIPROC glPixelStorei = nullptr;
  PFNGLVIEWPORTPROC glViewport = nullptr;
  PFNGLCLEARCOLORPROC glClearColor = nullptr;
  PFNGLCLEARPROC glClear = nullptr;
  PFNGLVERTEXATTRIBPOINTERPROC glVertexAttribPointer = nullptr;
  PFNGLENABLEVERTEXATTRIBARRAYPROC glEnableVertexAttribArray = nullptr;
  PFNGLDRAWARRAYSPROC glDrawArrays = nullptr;
  PFNGLGETERRORPROC glGetError = nullptr;
  PFNGLDISABLEPROC glDisable = nullptr;
  void* egl_library = nullptr;
  void* gles_library = nullptr;
  bool loaded = false;
  std::string why;
};

template <typename F>
bool Find(void* library, const char* name, F* out) {
  *out = reinterpret_cast<F>(dlsym(library, name));
  return *out != nullptr;
}

const GlesApi& Api() {
  static GlesApi api;
  static std::once_flag once;
  std::call_once(once, [] {
    // Kept loaded for the life of the process: drivers keep threads and
    // state behind them.
    api.egl_library = dlopen("libEGL.so.1", RTLD_NOW | RTLD_LOCAL);
    api.gles_library = dlopen("libGLESv2.so.2", RTLD_NOW | RTLD_LOCAL);
    if (api.egl_library == nullptr || api.gles_library == nullptr) {
      api.why = "libEGL.so.1 or libGLESv2.so.2 is not installed";
      return;
    }
    void* e = api.egl_library;
    void* g = api.gles_library;
    bool ok = Find(e, "eglGetProcAddress", &api.eglGetProcAddress) && Find(e, "eglGetDisplay", &api.eglGetDisplay) &&
              Find(e, "eglInitialize", &api.eglInitialize) && Find(e, "eglTerminate", &api.eglTerminate) &&
              Find(e, "eglBindAPI", &api.eglBindAPI) && Find(e, "eglChooseConfig", &api.eglChooseConfig) &&
              Find(e, "eglCreateWindowSurface", &api.eglCreateWindowSurface) &&
              Find(e, "eglCreateContext", &api.eglCreateContext) &&
              Find(e, "eglDestroyContext", &api.eglDestroyContext) &&
              Find(e, "eglDestroySurface", &api.eglDestroySurface) && Find(e, "eglMakeCurrent", &api.eglMakeCurrent) &&
              Find(e, "eglSwapBuffers", &api.eglSwapBuffers) && Find(e, "eglSwapInterval", &api.eglSwapInterval) &&
              Find(e, "eglGetError", &api.eglGetError) &&
              Find(e, "eglReleaseThread", &api.eglReleaseThread);
    ok = ok && Find(g, "glCreateShader", &api.glCreateShader) && Find(g, "glShaderSource", &api.glShaderSource) &&
         Find(g, "glCompileShader", &api.glCompileShader) && Find(g, "glGetShaderiv", &api.glGetShaderiv) &&
         Find(g, "glGetShaderInfoLog", &api.glGetShaderInfoLog) && Find(g, "glDeleteShader", &api.glDeleteShader) &&
         Find(g, "glCreateProgram", &api.glCreateProgram) && Find(g, "glAttachShader", &api.glAttachShader) &&
         Find(g, "glBindAttribLocation", &api.glBindAttribLocation) && Find(g, "glLinkProgram", &api.glLinkProgram) &&
         Find(g, "glGetProgramiv", &api.glGetProgramiv) && Find(g, "glDeleteProgram", &api.glDeleteProgram) &&
         Find(g, "glUseProgram", &api.glUseProgram) && Find(g, "glGetUniformLocation", &api.glGetUniformLocation) &&
         Find(g, "glUniform1i", &api.glUniform1i) && Find(g, "glUniform1f", &api.glUniform1f) &&
         Find(g, "glGenTextures", &api.glGenTextures) && Find(g, "glDeleteTextures", &api.glDeleteTextures) &&
         Find(g, "glBindTexture", &api.glBindTexture) && Find(g, "glActiveTexture", &api.glActiveTexture) &&
         Find(g, "glTexParameteri", &api.glTexParameteri) && Find(g, "glTexImage2D", &api.glTexImage2D) &&
         Find(g, "glTexSubImage2D", &api.glTexSubImage2D) && Find(g, "glPixelStorei", &api.glPixelStorei) &&
         Find(g, "glViewport", &api.glViewport) && Find(g, "glClearColor", &api.glClearColor) &&
         Find(g, "glClear", &api.glClear) && Find(g, "glVertexAttribPointer", &api.glVertexAttribPointer) &&
         Find(g, "glEnableVertexAttribArray", &api.glEnableVertexAttribArray) &&
         Find(g, "glDrawArrays", &api.glDrawArrays) && Find(g, "glGetError", &api.glGetError) &&
         Find(g, "glDisable", &api.glDisable);
    if (!ok) {
      api.why = "an EGL or OpenGL ES entry is missing";
      return;
    }
    api.loaded = true;
  });
  return api;
}

constexpr const char* kVertexShader = R"(
attribute vec2 a_position;
attribute vec2 a_texcoord;
varying vec2 v_texcoord;
void main() {
  v_texcoord = a_texcoord;
  gl_Position = vec4(a_position, 0.0, 1.0);
}
)";

// One program a layout (no branch a fragment): LAYOUT 0 planar (y, u, v),
// 1 YUY2 and 2 UYVY (pairs in RGBA texels of half the width), 3 BGR rows
// uploaded as RGB or BGRA uploaded as RGBA. YUV to RGB with the
// converter's studio-range coefficients (x/64: 74, 102, 52, 25, 129).
constexpr int kLayoutCount = 4;
constexpr const char* kFragmentShader = R"(
precision mediump float;
varying vec2 v_texcoord;
uniform sampler2D u_y;
uniform sampler2D u_u;
uniform sampler2D u_v;
uniform float u_width;
vec3 ToRgb(float y, float u, float v) {
  float c = 1.15625 * (y * 255.0 - 16.0);
  float d = u * 255.0 - 128.0;
  float e = v * 255.0 - 128.0;
  return clamp(vec3(c + 1.59375 * e, c - 0.8125 * e - 0.390625 * d, c + 2.015625 * d) / 255.0, 0.0, 1.0);
}
void main() {
#if LAYOUT == 0
  gl_FragColor = vec4(ToRgb(texture2D(u_y, v_texcoord).r, texture2D(u_u, v_texcoord).r,
                            texture2D(u_v, v_texcoord).r), 1.0);
#elif LAYOUT == 1 || LAYOUT == 2
  vec4 pair = texture2D(u_y, v_texcoord);
  float odd = step(1.0, mod(floor(v_texcoord.x * u_width), 2.0));
#if LAYOUT == 1
  gl_FragColor = vec4(ToRgb(mix(pair.r, pair.b, odd), pair.g, pair.a), 1.0);
#else
  gl_FragColor = vec4(ToRgb(mix(pair.g, pair.a, odd), pair.r, pair.b), 1.0);
#endif
#else
  gl_FragColor = vec4(texture2D(u_y, v_texcoord).bgr, 1.0);
#endif
}
)";

class GlesVideoDeviceImpl : public GlesVideoDevice {
 public:
  GlesVideoDeviceImpl(const GlesApi& gl, EGLDisplay display) : gl_(gl), display_(display) {}

  ~GlesVideoDeviceImpl() override {
    if (context_ != EGL_NO_CONTEXT && Current()) {
      if (textures_[0]) gl_.glDeleteTextures(3, textures_);
      for (GLuint program : programs_) {
        if (program) gl_.glDeleteProgram(program);
      }
      Release();
    }
    if (context_ != EGL_NO_CONTEXT) gl_.eglDestroyContext(display_, context_);
    if (surface_ != EGL_NO_SURFACE) gl_.eglDestroySurface(display_, surface_);
  }

  bool Init(Display* x, uint64_t window, std::string* why) {
    x_ = x;
    if (!gl_.eglBindAPI(EGL_OPENGL_ES_API)) return Fail(why, "eglBindAPI");
    const EGLint config_attributes[] = {EGL_SURFACE_TYPE, EGL_WINDOW_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_ES2_BIT,
                                        EGL_RED_SIZE,     8,              EGL_GREEN_SIZE,      8,
                                        EGL_BLUE_SIZE,    8,              EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!gl_.eglChooseConfig(display_, config_attributes, &config, 1, &count) || count < 1) {
      return Fail(why, "eglChooseConfig");
    }
    {
      X11ErrorTrap trap(x_);
      surface_ = gl_.eglCreateWindowSurface(display_, config, static_cast<EGLNativeWindowType>(window), nullptr);
      if (trap.Failed() && surface_ != EGL_NO_SURFACE) {
        gl_.eglDestroySurface(display_, surface_);
        surface_ = EGL_NO_SURFACE;
      }
    }
    if (surface_ == EGL_NO_SURFACE) return Fail(why, "eglCreateWindowSurface");
    const EGLint context_attributes[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
    context_ = gl_.eglCreateContext(display_, config, EGL_NO_CONTEXT, context_attributes);
    if (context_ == EGL_NO_CONTEXT) return Fail(why, "eglCreateContext");
    if (!Current()) return Fail(why, "eglMakeCurrent");
    gl_.eglSwapInterval(display_, 0);  // never wait for the vertical blank
    const bool built = BuildProgram(why);
    Release();
    return built;
  }

  bool Upload(const GpuPicture& p) override {
    if (p.pixels == nullptr || p.width <= 0 || p.height <= 0) return false;
    if (!Current()) return false;
    const int32_t w = p.width, h = p.height;
    bool ok = true;
    switch (p.layout) {
      case GpuPicture::kI420:
      case GpuPicture::kYV12: {
        const uint8_t* y = p.pixels;
        const uint8_t* first = y + static_cast<size_t>(w) * h;
        const uint8_t* second = first + static_cast<size_t>(w / 2) * (h / 2);
        const uint8_t* u = p.layout == GpuPicture::kI420 ? first : second;
        const uint8_t* v = p.layout == GpuPicture::kI420 ? second : first;
        gl_.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        ok = Plane(0, GL_LUMINANCE, w, h, y, GL_LINEAR) && Plane(1, GL_LUMINANCE, w / 2, h / 2, u, GL_LINEAR) &&
             Plane(2, GL_LUMINANCE, w / 2, h / 2, v, GL_LINEAR);
        layout_ = 0;
        break;
      }
      case GpuPicture::kYUY2:
      case GpuPicture::kUYVY:
        gl_.glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        ok = Plane(0, GL_RGBA, w / 2, h, p.pixels, GL_NEAREST);
        layout_ = p.layout == GpuPicture::kYUY2 ? 1 : 2;
        break;
      case GpuPicture::kBGR24:
      case GpuPicture::kBGRA32:
        // Rows padded to 4 bytes, as the frames' rows are.
        if (p.stride != ((w * (p.layout == GpuPicture::kBGR24 ? 24 : 32) + 31) / 32) * 4) {
          ok = false;
          break;
        }
        gl_.glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        ok = Plane(0, p.layout == GpuPicture::kBGR24 ? GL_RGB : GL_RGBA, w, h, p.pixels, GL_LINEAR);
        layout_ = p.layout == GpuPicture::kBGR24 ? 3 : 4;
        break;
    }
    ok = ok && gl_.glGetError() == GL_NO_ERROR;
    Release();
    has_picture_ = ok;
    width_ = w, height_ = h;
    // Planar and packed YUV are stored top row first; RGB rows as they come.
    top_row_first_ = layout_ < 3 || !p.bottom_up;
    return ok;
  }

  bool HasPicture() const override { return has_picture_; }
  void DropPicture() override { has_picture_ = false; }

  GpuStatus Present(Size surface, const Rect& source, const Rect& placed, uint32_t background_rgb, uint32_t effects,
                 bool with_picture) override {
    if (!Current()) return Classify();
    gl_.glViewport(0, 0, surface.width, surface.height);
    gl_.glClearColor(((background_rgb >> 16) & 0xFF) / 255.0f, ((background_rgb >> 8) & 0xFF) / 255.0f,
                     (background_rgb & 0xFF) / 255.0f, 1.0f);
    gl_.glClear(GL_COLOR_BUFFER_BIT);
    if (with_picture && has_picture_ && !placed.IsEmpty() && surface.width > 0 && surface.height > 0) {
      DrawQuad(surface, source, placed, effects);
    }
    const bool swapped = gl_.eglSwapBuffers(display_, surface_);
    const GpuStatus status = swapped ? kOk : Classify();
    // Returns when the server has the picture, as the other draws do (a
    // reader on another connection then sees it).
    XSync(x_, False);
    Release();
    return status;
  }

  GpuStatus Check() override {
    if (!Current()) return Classify();
    Release();
    return kOk;
  }

 private:
  bool Fail(std::string* why, const char* what) {
    if (why) *why = std::string(what) + " failed (EGL error 0x" + Hex(gl_.eglGetError()) + ")";
    return false;
  }
  static std::string Hex(EGLint v) {
    char text[16];
    snprintf(text, sizeof(text), "%x", static_cast<unsigned>(v));
    return text;
  }
  bool Current() { return gl_.eglMakeCurrent(display_, surface_, surface_, context_); }
  void Release() { gl_.eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT); }
  // A lost context is made anew; anything else ends the device.
  GpuStatus Classify() {
    const EGLint error = gl_.eglGetError();
    if (error == EGL_CONTEXT_LOST) return kLost;
    PlatformLog("GPU video: EGL error 0x%x", static_cast<unsigned>(error));
    return kFailed;
  }

  GLuint Compile(GLenum kind, const char* source, std::string* why, int layout = 0) {
    GLuint shader = gl_.glCreateShader(kind);
    const std::string define = "#define LAYOUT " + std::to_string(layout) + "\n";
    const char* parts[2] = {define.c_str(), source};
    gl_.glShaderSource(shader, 2, parts, nullptr);
    gl_.glCompileShader(shader);
    GLint ok = 0;
    gl_.glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
      char log[512] = {};
      gl_.glGetShaderInfoLog(shader, sizeof(log) - 1, nullptr, log);
      if (why) *why = std::string("shader: ") + log;
      gl_.glDeleteShader(shader);
      return 0;
    }
    return shader;
  }

  bool BuildProgram(std::string* why) {
    for (int layout = 0; layout < kLayoutCount; ++layout) {
      GLuint vs = Compile(GL_VERTEX_SHADER, kVertexShader, why);
      GLuint fs = vs ? Compile(GL_FRAGMENT_SHADER, kFragmentShader, why, layout) : 0;
      if (!vs || !fs) {
        if (vs) gl_.glDeleteShader(vs);
        return false;
      }
      GLuint program = gl_.glCreateProgram();
      programs_[layout] = program;
      gl_.glAttachShader(program, vs);
      gl_.glAttachShader(program, fs);
      gl_.glBindAttribLocation(program, 0, "a_position");
      gl_.glBindAttribLocation(program, 1, "a_texcoord");
      gl_.glLinkProgram(program);
      gl_.glDeleteShader(vs);
      gl_.glDeleteShader(fs);
      GLint linked = 0;
      gl_.glGetProgramiv(program, GL_LINK_STATUS, &linked);
      if (!linked) {
        if (why) *why = "shader program did not link";
        return false;
      }
      gl_.glUseProgram(program);
      gl_.glUniform1i(gl_.glGetUniformLocation(program, "u_y"), 0);
      gl_.glUniform1i(gl_.glGetUniformLocation(program, "u_u"), 1);
      gl_.glUniform1i(gl_.glGetUniformLocation(program, "u_v"), 2);
      width_locations_[layout] = gl_.glGetUniformLocation(program, "u_width");
    }
    gl_.glGenTextures(3, textures_);
    gl_.glDisable(GL_DEPTH_TEST);
    gl_.glDisable(GL_BLEND);
    return gl_.glGetError() == GL_NO_ERROR;
  }

  // One texture unit's plane; the texture is remade only when its size or
  // format changes.
  bool Plane(int unit, GLenum format, int32_t w, int32_t h, const uint8_t* data, GLint filter) {
    if (w <= 0 || h <= 0) return false;
    gl_.glActiveTexture(GL_TEXTURE0 + unit);
    gl_.glBindTexture(GL_TEXTURE_2D, textures_[unit]);
    gl_.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    gl_.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    gl_.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl_.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    PlaneShape& shape = shapes_[unit];
    if (shape.width != w || shape.height != h || shape.format != format) {
      gl_.glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), w, h, 0, format, GL_UNSIGNED_BYTE, data);
      shape = {w, h, format};
    } else {
      gl_.glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, format, GL_UNSIGNED_BYTE, data);
    }
    return true;
  }

  void DrawQuad(Size surface, const Rect& source, const Rect& placed, uint32_t effects) {
    const float sw = static_cast<float>(surface.width), sh = static_cast<float>(surface.height);
    const float x0 = 2.0f * placed.left / sw - 1.0f, x1 = 2.0f * placed.right / sw - 1.0f;
    const float y_top = 1.0f - 2.0f * placed.top / sh, y_bottom = 1.0f - 2.0f * placed.bottom / sh;
    float s_left = static_cast<float>(source.left) / width_, s_right = static_cast<float>(source.right) / width_;
    // Texture row 0 is the first row in memory: the top for top-down
    // pictures, the bottom for bottom-up ones.
    float t_top = static_cast<float>(source.top) / height_, t_bottom = static_cast<float>(source.bottom) / height_;
    if (!top_row_first_) t_top = 1.0f - t_top, t_bottom = 1.0f - t_bottom;
    if (effects & 1u) std::swap(s_left, s_right);
    if (effects & 2u) std::swap(t_top, t_bottom);
    const GLfloat vertices[] = {x0, y_bottom, s_left,  t_bottom, x1, y_bottom, s_right, t_bottom,
                                x0, y_top,    s_left,  t_top,    x1, y_top,    s_right, t_top};
    const int program = layout_ < kLayoutCount ? layout_ : kLayoutCount - 1;  // BGRA shares the RGB program
    gl_.glUseProgram(programs_[program]);
    if (width_locations_[program] >= 0) gl_.glUniform1f(width_locations_[program], static_cast<float>(width_));
    for (int unit = 0; unit < 3; ++unit) {
      gl_.glActiveTexture(GL_TEXTURE0 + unit);
      gl_.glBindTexture(GL_TEXTURE_2D, textures_[unit]);
    }
    gl_.glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 4 * sizeof(GLfloat), vertices);
    gl_.glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 4 * sizeof(GLfloat), vertices + 2);
    gl_.glEnableVertexAttribArray(0);
    gl_.glEnableVertexAttribArray(1);
    gl_.glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  }

  struct PlaneShape {
    int32_t width = 0, height = 0;
    GLenum format = 0;
  };

  const GlesApi& gl_;
  Display* x_ = nullptr;
  EGLDisplay display_;
  EGLSurface surface_ = EGL_NO_SURFACE;
  EGLContext context_ = EGL_NO_CONTEXT;
  GLuint programs_[kLayoutCount] = {0, 0, 0, 0};
  GLint width_locations_[kLayoutCount] = {-1, -1, -1, -1};
  GLuint textures_[3] = {0, 0, 0};
  PlaneShape shapes_[3];
  int layout_ = 0;
  int32_t width_ = 0, height_ = 0;
  bool top_row_first_ = true;
  bool has_picture_ = false;
};

}  // namespace

bool GlesVideoDevice::Available(std::string* why) {
  const GlesApi& gl = Api();
  if (!gl.loaded && why) *why = gl.why;
  return gl.loaded;
}

std::unique_ptr<GlesVideoDevice> GlesVideoDevice::Create(const std::string& display_name, uint64_t window,
                                                         std::string* why) {
  const GlesApi& gl = Api();
  if (!gl.loaded) {
    if (why) *why = gl.why;
    return nullptr;
  }
  // One connection and EGL display for the process, made at the first
  // device and kept to the end: terminating the display would unload the
  // driver under state it keeps, and every device shares it.
  struct SharedDisplay {
    Display* x = nullptr;
    EGLDisplay egl = EGL_NO_DISPLAY;
    std::string name;
    std::string why;
  };
  static SharedDisplay shared;
  static std::mutex lock;
  std::lock_guard<std::mutex> guard(lock);
  if (shared.x == nullptr && shared.why.empty()) {
    EnsureXlibThreads();
    shared.name = display_name;
    shared.x = XOpenDisplay(display_name.empty() ? nullptr : display_name.c_str());
    EGLint major = 0, minor = 0;
    if (shared.x == nullptr) {
      shared.why = "cannot open the display";
    } else if ((shared.egl = gl.eglGetDisplay(reinterpret_cast<EGLNativeDisplayType>(shared.x))) == EGL_NO_DISPLAY) {
      shared.why = "no EGL display";
    } else if (!gl.eglInitialize(shared.egl, &major, &minor)) {
      shared.why = "eglInitialize failed";
    }
  }
  if (!shared.why.empty()) {
    if (why) *why = shared.why;
    return nullptr;
  }
  if (shared.name != display_name) {
    if (why) *why = "the GPU draw serves one display per process (" + shared.name + ")";
    return nullptr;
  }
  auto device = std::make_unique<GlesVideoDeviceImpl>(gl, shared.egl);
  if (!device->Init(shared.x, window, why)) return nullptr;
  return device;
}

}  // namespace vz
