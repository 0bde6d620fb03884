#pragma once
#include <cstdint>
#include <string>

class mtxRegistry;
class mtxImage;
class mtxImageEditorDevice;
class mtxMessageSink;
class mtxFileLawnCol;
class IDirect3DTexture9;

// The one collection of samples, held by the editor window, together with the
// filling options that steer the engine. A sample is a small picture with an
// alpha channel: the collection keeps its texture on the editor's device, a
// scale from the picture's opaque radius and its colour key for matching.
class SampleCollection {
  public:
    static constexpr uint32_t kChooseColorMatch = 0, kChooseRandom = 256;
    static constexpr uint32_t kColorRecolor = 0, kColorKeep = 4096;
    // How stamps are placed: one at a random point with room at a time, or
    // coarse to fine passes that cover the photo and keep its details.
    static constexpr uint32_t kModeClassic = 0, kModeFine = 1;
    // How fast the window's tool places samples: one every 10 ms to watch
    // the picture grow, or as many as a frame's time budget allows.
    static constexpr uint32_t kSpeedCalm = 0, kSpeedFast = 1;
    static constexpr int32_t kMaxSamples = 128;
    // Pixels of this alpha or less do not count towards the opaque radius.
    static constexpr uint32_t kOpaqueAlpha = 10;

    // One sample as the engine stamps it.
    struct Sample {
        Sample() = default;
        ~Sample() { Release(); }
        Sample(const Sample&) = delete;
        Sample& operator=(const Sample&) = delete;
        // Takes the other record's texture and fields; the other is left empty.
        Sample& operator=(Sample&& other) noexcept;
        // Gives back the texture and empties the strings.
        void Release();

        // The picture centred on transparent black; width and height are the
        // picture's rounded up to powers of two, and are the sample's size
        // wherever the engine uses one.
        IDirect3DTexture9* texture = nullptr;  // owned
        int32_t width = 0, height = 0;
        std::string name;  // file name without folder and extension, lower-cased, for display
        std::string path;  // as given to AddSample
        int32_t viewScrollX = 0, viewScrollY = 0;  // the samples dialog's view of it
        float scale = 0;    // (m / sqrt 2) / R: m the texture's smaller side, R the opaque radius
        float key[3] = {};  // Y, Cb, Cr of the mean colour, each / 255
        float meanColor[3] = {};  // mean red, green, blue of the non-transparent pixels / 255
    };

    SampleCollection() = default;
    // Writes the options back to the application's settings store, then
    // releases the samples.
    ~SampleCollection();
    SampleCollection(const SampleCollection&) = delete;
    SampleCollection& operator=(const SampleCollection&) = delete;

    // Stores the owner, whose device makes the textures, and where messages
    // go (null: standard error), then loads the options.
    void Bind(mtxImageEditorDevice& owner, mtxMessageSink* messages = nullptr);

    // Adds the picture file at path as the last sample and selects it. 1 when
    // added; 0 when the collection is full or already holds path (both
    // silently), or when the picture cannot be loaded or is unusable: not a
    // regular file, no pixel of alpha above 10 away from its centre, too big
    // for the device, no texture (each told to the message sink, with why).
    int AddSample(const std::string& path);
    // Adds a picture already in memory as the last sample, as AddSample adds
    // the file at path (path is kept as the sample's path, not read). 1 when
    // added, 0 as AddSample refuses.
    int AddSamplePicture(mtxImage& picture, const std::string& path);
    // Replaces every sample by the picture at path, which is loaded first:
    // when it cannot be a sample (told as AddSample tells), the samples stay
    // as they were and the result is 0.
    int ReplaceWithSample(const std::string& path);
    // Removes sample index (nothing for an index out of range); selected
    // stays on the same sample, or on its neighbour when it was the one
    // removed, and inside 0..count-1.
    void RemoveSample(int32_t index);
    // Removes every sample; changed is left as it is.
    void ClearSamples();
    // The sample whose key is nearest (Euclidean, in f32) to (y, cb, cr),
    // with its index in index; the lower index wins a tie. Null (index
    // untouched) when the collection is empty.
    Sample* MatchSample(float y, float cb, float cr, int32_t& index);
    // Whether some sample's path is exactly path.
    bool IsPresent(const std::string& path) const;

    // Adds the samples listed in the collection file at path, in order. 1
    // when the file was read (each entry then added as AddSample does); 0
    // when it was refused, with the reason told to the message sink and
    // nothing added.
    int LoadCollection(const std::string& path);
    // Replaces the samples by those listed in the collection file at path.
    // The file is read first: when it is refused (reason told), the samples
    // stay as they were and the result is 0.
    int ReplaceCollection(const std::string& path);
    // Saves the samples' paths to path (".msc" appended when path does not
    // end so). 1 when saved; 0 with nothing written when there is no sample,
    // or with the reason told and the old file kept when saving failed.
    int SaveCollection(const std::string& path);

    // The samples' paths in the "sml" section, so a later start has the same
    // samples: "n" their count, "0" to "n-1" the paths in order. Only
    // samples whose files are there are stored, and the stored list is left
    // as it was while the samples are an opened project's (fromProject), or
    // when none of them has its file: those pictures live in the project,
    // under paths of the machine it was made on, not among the user's files.
    void SavePaths(mtxRegistry& settings) const;
    // Adds the samples whose paths SavePaths stored, each as AddSample adds it
    // (those that cannot be loaded told to the message sink). The number of
    // paths the stored list names, 0 for an empty one; -1 when none is stored.
    int LoadPaths(mtxRegistry& settings);

    // Reads the options from the "sm" section, applying defaults and bounds.
    void LoadOptions();
    void LoadOptions(mtxRegistry& settings);
    void SaveOptions();
    void SaveOptions(mtxRegistry& settings) const;

    int32_t sizeMin = 1;      // smallest sample side in pixels, 1..1024
    int32_t sizeMax = 150;    // largest sample side, sizeMin..1024
    int32_t overlap = 4;      // pixels a sample may reach over a colour border, 0..256
    uint32_t rotate = 1;      // random rotation 0..359 degrees
    uint32_t mirror = 1;      // random horizontal mirror
    uint32_t flip = 1;        // random vertical flip
    uint32_t chooseMode = 0;  // kChooseColorMatch or kChooseRandom
    uint32_t colorMode = 0;   // kColorRecolor or kColorKeep
    int32_t background = 0;   // 0 backgroundColor, 1 the layer's content, 2 the picture's copy
    uint32_t backgroundColor = 0xFFFFFFFF;  // 0xAARRGGBB for background 0
    uint32_t fillMode = kModeFine;          // kModeClassic or kModeFine
    uint32_t autoSize = 1;        // Fine sizes its stamps from the photo, within sizeMin..sizeMax
    uint32_t speed = kSpeedFast;  // kSpeedCalm or kSpeedFast; the stamps do not depend on it

    mtxImageEditorDevice* owner = nullptr;
    mtxMessageSink* messages = nullptr;
    Sample samples[kMaxSamples];
    int32_t count = 0;     // samples in use, the first count records
    int32_t selected = 0;  // the sample selected in the samples dialog
    uint32_t changed = 1;  // set when a sample is added or removed; the engine clears it
    // Set once an opened project's pictures became the samples; any later
    // change of the samples (added, removed, replaced) clears it.
    uint32_t fromProject = 0;

  private:
    void Tell(const std::string& text);
    // Adds the pictures the entries of a collection file that was read name.
    void AddEntries(const mtxFileLawnCol& file);
    // Fills the record from the picture file at path; 0 with the reason told
    // when it cannot be a sample.
    int LoadSample(Sample& sample, const std::string& path);
    // Fills the record from the picture: texture, scale and keys. 0 with the
    // reason told when the picture cannot be a sample.
    int MakeSample(Sample& sample, mtxImage& picture, const std::string& file);
};
