// Pictures of the objects: trees, banners, fences, flag marshals and their boards, the
// textures of hay bales, tuff blocks, tyre walls and the start gate, and the lens flare.
#pragma once

void pictures_write_all();
