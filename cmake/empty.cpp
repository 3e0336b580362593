// Intentionally empty: an area whose sources are not written yet.
