// The plug-in is assembled from the qingcloud_core archive; a shared library
// target needs at least one source of its own.
