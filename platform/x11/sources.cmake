# Sources of the layer's x11 part.
