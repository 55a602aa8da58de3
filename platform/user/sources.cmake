# Sources of the layer's user part.
