// Compiled with a layer's include roots and one header of the layer above:
// the layer test expects the header not to be found.
#include HEADER
