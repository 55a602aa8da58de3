# Sources of the layer's kernel part.
