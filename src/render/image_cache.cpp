// The picture cache: every picture decoded once per name and kept, with its chain, until a
// track change leaves it unused; link names remembered for the program's life. The cache
// generation it keeps is shared by the model and texture caches.
#include <cstring>
#include <strings.h>
#include <string>
#include <vector>

#include "common/common.h"
#include "common/console.h"
#include "platform/log.h"
#include "render/image.h"
#include "render/image_local.h"

namespace {

struct ImageLink {
    const char *name;     // the "LINK" file's data name (interned)
    const char *target;   // the name it stands for (interned)
};

struct ImageCache {
    std::vector<Image *> images;      // decoded pictures, owned
    std::vector<ImageLink> links;
    int generation;                   // current cache generation; 0 until the first track change
    int verbose;                      // debug level
};

// Never destroyed: cached pictures stay reachable until the process ends, also while other
// static objects are torn down.
ImageCache &images_state = *new ImageCache;

Image *cache_find(const char *name)
{
    for (Image *image : images_state.images)
        if (strcmp(image->name, name) == 0)
            return image;
    for (Image *image : images_state.images)
        if (strcasecmp(image->name, name) == 0) {
            console_printf("Warning: case mismatch on '%.900s'", name);
            return image;
        }
    return nullptr;
}

const char *link_find(const char *name)
{
    for (const ImageLink &link : images_state.links)
        if (strcmp(link.name, name) == 0)
            return link.target;
    return nullptr;
}

}   // namespace

const Image *image_get(const char *name)
{
    if (!name)
        return nullptr;
    if (name[0] == '!')
        name++;
    std::string link;
    for (int depth = 0; depth <= IMAGE_LINK_DEPTH; depth++) {
        if (const char *target = link_find(name)) {
            name = target;
            continue;
        }
        if (Image *image = cache_find(name)) {
            if (image->generation != 0)
                image->generation = images_state.generation;
            return image;
        }
        Image *image = image_read_file(name, &link);
        if (!link.empty()) {
            ImageLink entry = {intern_string(name), intern_string(link.c_str())};
            images_state.links.push_back(entry);
            name = entry.target;
            continue;
        }
        if (!image)
            return nullptr;
        image_expand_grey(image);
        image_build_chain(image);
        image->generation = images_state.generation;
        images_state.images.push_back(image);
        return image;
    }
    console_printf("Too many links reading '%.900s'", name);
    return nullptr;
}

const char *image_name(const Image *image)
{
    for (const Image *cached : images_state.images)
        if (cached == image)
            return cached->name;
    return nullptr;
}

int images_generation()
{
    return images_state.generation;
}

void images_new_generation()
{
    images_state.generation++;
}

int images_purge()
{
    int freed = 0;
    std::vector<Image *> kept;
    for (Image *image : images_state.images) {
        if (image->generation == 0 || image->generation == images_state.generation) {
            kept.push_back(image);
            continue;
        }
        if (images_state.verbose > 0)
            log("deleting image %.900s\n", image->name);
        image_free(image);
        freed++;
    }
    images_state.images.swap(kept);
    return freed;
}

void images_clear()
{
    for (Image *image : images_state.images)
        image_free(image);
    images_state.images.clear();
    images_state.links.clear();
    images_state.generation = 0;
}

void images_set_verbose(int level)
{
    images_state.verbose = level;
}
