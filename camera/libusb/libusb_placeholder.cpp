// The libusb backend.
